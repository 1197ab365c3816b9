// The readers of the editor page's replies get what a page could answer, the escaping what a user could
// type: a reply yields a size or an error, formats an object or nothing, the formats the view page's lists,
// an escaped text reads back. The main window's readers join them: the service's user reply, and a stored
// window rectangle (the first 16 bytes), which lands on every screen it is fitted to.

#include "view/render/ContentInfo.h"
#include "view/render/PageFormats.h"
#include "view/render/editorScripts.h"
#include "view/window/userReply.h"
#include "view/window/windowGeometry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// A double-quoted literal's contents read as JavaScript does; false if it ends early or has a strange escape.
bool unescape(const QString& literal, QString& out)
{
    const QString simple = QStringLiteral("\\\\\"\"''n\nr\r");
    for (int i = 0; i < literal.size(); ++i) {
        const ushort c = literal[i].unicode();
        const int at = i + 1 < literal.size() ? simple.indexOf(literal[i + 1]) : -1;
        if (c == '"' || c < 0x20 || c == 0x2028 || c == 0x2029)
            return false;
        if (c != '\\') {
            out += literal[i];
        } else if (literal.mid(i + 1, 1) == QLatin1String("u") && i + 5 < literal.size()) {
            out += QChar(literal.mid(i + 2, 4).toUShort(nullptr, 16));
            i += 5;
        } else if (at >= 0 && at % 2 == 0) {
            out += simple[at + 1];
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

void readUserReply(const QByteArray& bytes)
{
    const userReply::Outcome outcome = userReply::read(bytes);
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    const QJsonObject object = document.object();
    const bool named = outcome.kind == userReply::Kind::UserName;
    if ((outcome.kind == userReply::Kind::Invalid) == document.isObject() ||
        (outcome.kind == userReply::Kind::Error && outcome.text.isEmpty()) ||
        (named &&
         (!object.value("username").isString() || outcome.text != object.value("username").toString())))
        std::abort();
}

void fitStoredRect(const uint8_t* data, size_t size)
{
    qint32 edges[4] = {0, 0, 0, 0};
    std::memcpy(edges, data, std::min(size, sizeof(edges)));
    const QRect stored(QPoint(edges[0], edges[1]), QPoint(edges[2], edges[3]));
    if (!windowGeometry::isUsableStoredRect(stored))
        return;
    using windowGeometry::kMinimumHeight;
    using windowGeometry::kMinimumWidth;
    for (const QRect& screen : {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024),
                                QRect(-1280, -200, 1280, 800), QRect(0, 0, 500, 300)}) {
        const int top = screen.top() + 30;
        const QRect fitted = windowGeometry::fitted(stored, screen, top);
        const bool narrow = stored.width() <= screen.width();
        const bool low = stored.height() <= screen.bottom() + 1 - top;
        if (fitted.width() != (narrow ? stored.width() : std::max(screen.width(), kMinimumWidth)) ||
            fitted.height() !=
                (low ? stored.height() : std::max(screen.bottom() + 1 - top, kMinimumHeight)) ||
            fitted.left() < screen.left() || (narrow && fitted.right() > screen.right()) ||
            fitted.top() < top || (low && fitted.bottom() > screen.bottom()))
            std::abort();
        // What the window does with it next: re-centred, changed and adapted by the view page's numbers.
        windowGeometry::recentred(fitted, QSize(edges[2], edges[3]));
        windowGeometry::changedBy(fitted, edges[0], edges[1]);
        windowGeometry::adaptedToContent(fitted, QSize(edges[0], edges[1]), QSize(edges[2], edges[3]),
                                         edges[3]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qInstallMessageHandler(quiet);
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    readUserReply(bytes);
    fitStoredRect(data, size);

    // A text reply: any JSON value at the top.
    const QJsonArray wrapped = QJsonDocument::fromJson("[" + bytes + "]").array();
    const QVariant reply = wrapped.isEmpty() ? QVariant() : wrapped.first().toVariant();
    const ContentInfo info = ContentInfo::fromReply(reply);
    if (info.error ? (info.width != 0 || info.height != 0) : (info.width < 0 || info.height < 0))
        std::abort();
    // The same value as the size the page reports once settled, after a reply of a known size.
    const ContentInfo grown = ContentInfo::fromReplies(
        QVariantList{false, QVariantMap{{QStringLiteral("height"), 40}, {QStringLiteral("width"), 120}}},
        reply);
    if (grown.error || grown.height < 40 || grown.width < 120)
        std::abort();

    const auto formats = editorScripts::formatsFromReply(QString::fromUtf8(bytes));
    if (formats && formats->isEmpty())
        std::abort();

    // The formats object sorted into the view page's lists: no empty value is kept, and the Data groups
    // always start with the DOCX action.
    const PageFormats sorted = PageFormats::fromReply(QJsonDocument::fromJson(bytes).object());
    for (const QStringList* list : {&sorted.html, &sorted.tsv, &sorted.csv, &sorted.mathmlword,
                                    &sorted.mathml, &sorted.svg, &sorted.smiles, &sorted.mol, &sorted.inchi,
                                    &sorted.inchiKey, &sorted.tableMarkdown, &sorted.asciimath}) {
        if (list->contains(QString()))
            std::abort();
    }
    const QList<QStringList> groups =
        sorted.dataGroups(QStringLiteral("D"), QStringLiteral("C"), [](const QString&) { return true; });
    if (groups.size() != 8 || groups.first() != QStringList{QStringLiteral("D")} ||
        (sorted.isEmpty() && !sorted.onlySmiles()) || groups.at(1).isEmpty() != sorted.csv.isEmpty())
        std::abort();

    // The bytes as UTF-16, so that every code unit occurs.
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(data), int(size / 2));
    QString back;
    if (!unescape(editorScripts::escapeForLiteral(text), back) || back != text)
        std::abort();
    return 0;
}
