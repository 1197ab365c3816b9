// Cost of drawing on the handwriting pad, per pointer move: the drawing alone (the baseline), the drawing
// with the pad's scene following it, and the eraser crossing a full page. A long stroke must cost the
// same per point as a short one, or drawing slows down as the user writes.
#include "authoring/StrokeModel.h"
#include "authoring/pages/HandwriteView.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

double bestOfThree(const std::function<void()>& work)
{
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e3);
    }
    return best;
}

QPointF wave(int i)
{
    return QPointF(20 + (i % 700), 200 + 80 * std::sin(i / 15.0) + (i / 700) * 3);
}

void drawStroke(StrokeModel& model, int points)
{
    model.reset();
    model.press(wave(0));
    for (int i = 1; i < points; ++i)
        model.move(wave(i));
    model.release();
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::printf("per point of one stroke, in microseconds\n");
    double shortStroke = 0;
    for (int points : {500, 2000, 8000}) {
        StrokeModel alone;
        const double baseline = bestOfThree([&] { drawStroke(alone, points); }) / points;
        StrokeModel shown;
        HandwriteView view;
        view.resize(800, 600);
        view.setModel(&shown);
        const double withScene = bestOfThree([&] { drawStroke(shown, points); }) / points;
        std::printf("  %5d points: drawing alone (baseline) %.3f, with the scene %.3f, ratio %.1f\n", points,
                    baseline, withScene, withScene / baseline);
        if (!shortStroke)
            shortStroke = withScene;
        else
            std::printf("      with the scene against 500 points: ratio %.2f\n", withScene / shortStroke);
    }

    // A page written full: 2000 strokes of 50 points, then the eraser crosses it where nothing is.
    StrokeModel page;
    for (int s = 0; s < 2000; ++s) {
        page.press(QPointF(10 + (s % 40) * 19, 10 + (s / 40) * 11));
        for (int p = 1; p < 50; ++p)
            page.move(QPointF(10 + (s % 40) * 19 + p * 0.3, 10 + (s / 40) * 11 + (p % 3)));
        page.release();
    }
    HandwriteView full;
    full.resize(800, 600);
    full.setModel(&page);
    const double finish = bestOfThree([&] {
                              for (int s = 0; s < 20; ++s) {
                                  page.setTool(StrokeModel::Tool::Pen);
                                  page.press(QPointF(700, 500));
                                  page.move(QPointF(710, 505));
                                  page.release();
                              }
                          }) /
                          20;
    std::printf("a short stroke finished on a page of 2000 strokes: %.1f us\n", finish);
    full.setModel(nullptr);

    StrokeModel empty;
    const auto cross = [](StrokeModel& model) {
        model.setTool(StrokeModel::Tool::Eraser);
        model.press(QPointF(-50, -50));
        for (int i = 1; i < 1000; ++i)
            model.move(QPointF(-50 - i, -50 + (i % 2)));
        model.release();
    };
    const double emptyMove = bestOfThree([&] { cross(empty); }) / 1000;
    const double fullMove = bestOfThree([&] { cross(page); }) / 1000;
    std::printf("eraser move beside 2000 strokes: %.3f us, on an empty page %.3f us, ratio %.1f\n", fullMove,
                emptyMove, fullMove / emptyMove);
    return 0;
}
