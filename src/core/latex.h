#pragma once

#include <QString>

// Inline maths delimiters sent to the service: style 1 "\(" "\)", style 0 "$" on both sides.
extern const QString kInlineDelimiterOpen;
extern const QString kInlineDelimiterClose;
extern const QString kDollarDelimiter;

namespace utils {

// Wrap a LaTeX text as one block, unchanged inside; with `newlines` the text gets "\r\n" on each side.
// Display pairs by style: 1 "\[" "\]", 2 equation*, 3 align*, any other "$$".
QString wrapDisplayLatex(QString text, int style, bool newlines);
// Numbered environments by style: 1 align, any other equation.
QString wrapNumberedLatex(QString text, int style, bool newlines);
// The user's own pair.
QString joinLines(QString text, QString open, QString close, bool newlines);

} // namespace utils
