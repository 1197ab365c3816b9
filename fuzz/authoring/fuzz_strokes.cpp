// The authoring pages' readers of what they are given: the pointer's points, however odd (a tablet may
// report any value), played into the drawing; and a recognition reply, read into what the pad reports.
#include "api/QeltResult.h"
#include "authoring/HandwriteRecognizer.h"
#include "authoring/StrokeModel.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool sane(const Strokes& strokes, int pointCount)
{
    int points = 0;
    for (const Stroke& stroke : strokes) {
        if (stroke.isEmpty())
            return false;
        for (const QPointF& p : stroke) {
            if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
                return false;
        }
        points += stroke.size();
    }
    return points == pointCount;
}

// Each step is one byte of verb and, for a point, two doubles taken bit for bit; undoing every step and
// redoing as many again gives the drawing back.
void playDrawing(const uint8_t* data, size_t size)
{
    StrokeModel model;
    size_t at = 0;
    while (at < size) {
        const uint8_t verb = data[at++];
        double xy[2] = {0, 0};
        if (verb % 8 < 3 && at + sizeof xy <= size) {
            std::memcpy(xy, data + at, sizeof xy);
            at += sizeof xy;
        }
        const QPointF point(xy[0], xy[1]);
        switch (verb % 8) {
        case 0:
            model.press(point);
            break;
        case 1:
        case 2:
            model.move(point);
            break;
        case 3:
            model.release();
            break;
        case 4:
            model.undo();
            break;
        case 5:
            model.redo();
            break;
        case 6:
            model.setTool(verb & 8 ? StrokeModel::Tool::Eraser : StrokeModel::Tool::Pen);
            break;
        case 7:
            verb & 8 ? model.eraseAll() : model.reset();
            break;
        }
        check(sane(model.strokes(), model.pointCount()));
    }
    model.release();
    const Strokes drawn = model.strokes();
    int steps = 0;
    for (; model.canUndo(); ++steps)
        model.undo();
    check(model.isEmpty());
    for (int step = 0; step < steps; ++step)
        model.redo();
    check(model.strokes() == drawn);
}

// A reply as the strokes call reads it: a failure always has words for the user, a success none.
void readReply(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    const QJsonObject object =
        QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(data + 1), int(size - 1))).object();
    ZorvaneAPI::QeltResult result;
    result.networkError.code = data[0] % 4 == 0 ? data[0] / 4 : 0;
    result.errors = ZorvaneAPI::parseErrors(object);
    result.qelt = ZorvaneQelt::fromJson(object);
    const QString text = HandwriteRecognizer::failureText(result);
    check(result.hasError() ? !text.trimmed().isEmpty() : text.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] % 2 == 0)
        playDrawing(data + 1, size - 1);
    else
        readReply(data + 1, size - 1);
    return 0;
}
