#pragma once

#include <QJsonObject>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QVector>

#include <optional>

class QColor;
class QVariant;

// The scripts the application runs in the editor page, and the readers of what the page answers.
namespace editorScripts {

// The page's font size before anything sets it, in pixels.
constexpr int kDefaultFontSize = 16;

// The text as the contents of a double- or single-quoted JavaScript literal that evaluates back to
// exactly the text: backslashes, quotes, line ends, the two Unicode line separators and every other
// C0 control are escaped, since a raw one would end the literal with a syntax error.
QString escapeForLiteral(const QString& text);

// Injected once after the load; text is selectable only when asked for.
QString bodyStyleScript(bool selectable);
QString fontSizeScript(int size);
// Adds a style element with the two colours, each as "#rrggbb".
QString colorScript(const QColor& text, const QColor& background);

// The text scripts: Markdown on the left, display LaTeX centred, or a text with the given alignment.
QString markdownScript(const QString& text, bool copyButton);
QString latexScript(const QString& latex, bool copyButton);
QString alignedTextScript(const QString& text, const QString& alignment);

// Lays the content out at half the screen width less 20 px, and undoes that.
QString forceWidthScript();
QString removeWidthScript();

QString formatsScript();
// The content's size as the page has laid it out by now: {"height": h, "width": w}.
QString contentSizeScript();
// Answers false while the page still readies something the last text needs (the chemistry engine for
// its molecules); that text is set again once it answers anything else.
QString settledScript();

// Counts the frames the page draws while the view is `view` large (to a pixel: a scaled screen rounds);
// a frame at another size, a resize still on its way to the page, starts the count again.
QString drawnWatchScript(const QSize& view);
// Whether the page has drawn, since drawnWatchScript, enough frames at that size for the last of them to
// be on its way to the view: true or false.
QString drawnScript();

// Shows the piece `chunk` of a content `contentWidth` wide in a view of the chunk's size.
QString chunkScript(const QRect& chunk, int contentWidth);
// Shows a row of cells of the given colours and size at the bottom left of the view, above everything,
// only while the view is exactly `view` large. Run with chunkScript, the page paints both in one frame.
QString frameStampScript(const QVector<QRgb>& cells, const QSize& cell, const QSize& view);
// Takes back what chunkScript set and lays the body out as in a view viewWidth wide, whether or not the
// page has seen the view's new size yet: a resize reaches the page on another channel than scripts.
QString layoutWidthScript(int viewWidth);

// The object in the page's formats reply: a string holding JSON text of a non-empty object.
std::optional<QJsonObject> formatsFromReply(const QVariant& reply);

} // namespace editorScripts
