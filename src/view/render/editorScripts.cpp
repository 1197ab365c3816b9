#include "view/render/editorScripts.h"

#include "core/userState.h"

#include <QColor>
#include <QJsonDocument>
#include <QVariant>

namespace editorScripts {

namespace {

const char* word(bool value)
{
    return value ? "true" : "false";
}

// Which formats the page derives follows the user's shown formats, read afresh for every text.
QString formatOptions()
{
    return QStringLiteral("{include_mathml_word: %1, include_mathml: %2, include_asciimath: %3, "
                          "include_latex: %4, include_svg: %5, include_table_html: %6, include_tsv: %7, "
                          "include_csv: %8, include_smiles: %9}")
        .arg(word(utils::isFormatShown(QStringLiteral("mathmlword"))))
        .arg(word(utils::isFormatShown(QStringLiteral("mathml"))))
        .arg(word(utils::isFormatShown(QStringLiteral("asciimath"))))
        .arg(word(false))
        .arg(word(true))
        .arg(word(true))
        .arg(word(utils::isFormatShown(QStringLiteral("tsv"))))
        .arg(word(utils::isFormatShown(QStringLiteral("csv"))))
        .arg(word(true));
}

QString fourArgumentScript(const QString& literal, const char* alignment, bool copyButton)
{
    // All markers in one pass: a chained arg() would also replace a "%2" inside the text.
    return QStringLiteral("window.setText(\"%1\", \"%2\", %3, %4)")
        .arg(literal, QLatin1String(alignment), formatOptions(),
             QStringLiteral("{copyButtonEnabled: %1}").arg(word(copyButton)));
}

const QString kBodyStyle = QStringLiteral("document.getElementsByTagName('body')[0].style");

// An animation frame's callback runs as the frame begins: once the third has run, the first frame drawn
// at the size has been committed, and the one after it begun.
constexpr int kDrawnFrames = 3;

} // namespace

QString escapeForLiteral(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8 + 8);
    for (const QChar c : text) {
        const ushort code = c.unicode();
        switch (code) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\'':
            out += QLatin1String("\\'");
            break;
        default:
            if (code < 0x20 || code == 0x2028 || code == 0x2029)
                out += QStringLiteral("\\u%1").arg(code, 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

QString bodyStyleScript(bool selectable)
{
    QString style = QStringLiteral("margin: 5px 5px 5px 5px;");
    if (!selectable)
        style += QStringLiteral("-webkit-user-select: none !important; cursor:default;");
    return QStringLiteral(
               "var head = document.head;var node = document.createElement('style');var textnode = "
               "document.createTextNode('body {%1}');node.appendChild(textnode);"
               "head.appendChild(node);")
        .arg(style);
}

QString fontSizeScript(int size)
{
    return QStringLiteral("window.setFontSize(%1);").arg(size);
}

QString colorScript(const QColor& text, const QColor& background)
{
    // One element, refilled and moved last: a renderer sets colours twice per image, for its whole life.
    return QStringLiteral(
               "var style = document.getElementById('zqColors') || document.createElement('style');"
               "style.id = 'zqColors';style.textContent = 'body { background-color: %1; color: %2; }';"
               "document.head.appendChild(style);")
        .arg(background.name(), text.name());
}

QString markdownScript(const QString& text, bool copyButton)
{
    return fourArgumentScript(escapeForLiteral(text), "left", copyButton);
}

QString latexScript(const QString& latex, bool copyButton)
{
    return fourArgumentScript(QStringLiteral("\\\\[") + escapeForLiteral(latex) + QStringLiteral("\\\\]"),
                              "center", copyButton);
}

QString alignedTextScript(const QString& text, const QString& alignment)
{
    return QStringLiteral("window.setText(\"%1\", \"%2\")")
        .arg(escapeForLiteral(text), escapeForLiteral(alignment));
}

QString forceWidthScript()
{
    return QStringLiteral("document.getElementById('content').style.width=screen.width / 2 - 20 + 'px';");
}

QString removeWidthScript()
{
    return QStringLiteral("document.getElementById('content').style.removeProperty('width');");
}

QString formatsScript()
{
    return QStringLiteral("window.getFormats()");
}

QString contentSizeScript()
{
    return QStringLiteral("window.contentSize()");
}

QString settledScript()
{
    return QStringLiteral("window.isSettled()");
}

QString drawnWatchScript(const QSize& view)
{
    return QStringLiteral(
               "(function (w, h) { var watch = {frames: 0}; window.zqDrawnWatch = watch;"
               " var tick = function () { if (window.zqDrawnWatch !== watch) return;"
               " var near = Math.abs(window.innerWidth - w) <= 1 && Math.abs(window.innerHeight - h) <= 1;"
               " watch.frames = near ? watch.frames + 1 : 0;"
               " if (watch.frames < %3) window.requestAnimationFrame(tick); };"
               " window.requestAnimationFrame(tick); return true; })(%1, %2)")
        .arg(view.width())
        .arg(view.height())
        .arg(kDrawnFrames);
}

QString drawnScript()
{
    return QStringLiteral("!!(window.zqDrawnWatch && window.zqDrawnWatch.frames >= %1)").arg(kDrawnFrames);
}

QString chunkScript(const QRect& chunk, int contentWidth)
{
    // The body is as wide as the content from now on, so that centred content starts at the left.
    return QStringLiteral("%1.marginLeft='-%2px';%1.marginTop='-%3px';%1.minWidth='%4px';"
                          "%1.removeProperty('width');")
        .arg(kBodyStyle)
        .arg(chunk.left())
        .arg(chunk.top())
        .arg(contentWidth);
}

QString frameStampScript(const QVector<QRgb>& cells, const QSize& cell, const QSize& view)
{
    QString row;
    for (const QRgb colour : cells)
        row += QStringLiteral("<div style=\"flex:none;width:%1px;height:%2px;background:%3\"></div>")
                   .arg(cell.width())
                   .arg(cell.height())
                   .arg(QColor(colour).name());
    // The page may not have seen the view's new size yet, and lays the content out otherwise until it
    // has: the stamp shows only in frames of that size.
    return QStringLiteral(
               "(function(){var s=document.getElementById('zq-frame-stamp');"
               "if(!s){s=document.createElement('div');s.id='zq-frame-stamp';"
               "s.style.cssText='position:fixed;left:0;bottom:0;display:flex;margin:0;padding:0;border:0;"
               "z-index:2147483647;pointer-events:none';document.documentElement.appendChild(s);}"
               "s.innerHTML='%1';"
               "if(window.zqStampFit)removeEventListener('resize',window.zqStampFit);"
               "window.zqStampFit=function(){s.style.visibility=innerWidth===%2&&innerHeight===%3?"
               "'visible':'hidden';};"
               "addEventListener('resize',window.zqStampFit);window.zqStampFit();})();")
        .arg(row)
        .arg(view.width())
        .arg(view.height());
}

QString layoutWidthScript(int viewWidth)
{
    // The body's own margins are 5 px a side.
    return QStringLiteral("%1.removeProperty('margin-left');%1.removeProperty('margin-top');"
                          "%1.removeProperty('min-width');%1.width='%2px';")
        .arg(kBodyStyle)
        .arg(qMax(0, viewWidth - 10));
}

std::optional<QJsonObject> formatsFromReply(const QVariant& reply)
{
    if (!reply.isValid() || reply.isNull())
        return std::nullopt;
    const QByteArray bytes =
        reply.type() == QVariant::String ? reply.toString().toUtf8() : reply.toByteArray();
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (document.isNull() || !document.isObject() || document.object().isEmpty())
        return std::nullopt;
    return document.object();
}

} // namespace editorScripts
