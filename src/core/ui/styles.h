#pragma once

#include <QString>

// Style sheets of the recurring controls. Each call builds a fresh sheet from the palette.
namespace utils::styles {

// Filled main-action button; fontSizePx -1 leaves the font size to the widget.
QString primaryButton(int fontSizePx);
// One radio button of a joined row: position 0 is the left end, 2 the right end, others the middle.
QString radioGroup(int position, int indicatorPadding);
QString whiteButton();
QString formattingScrollArea();
QString tabWidget();
QString flatButton();
QString paddedFlatButton();
QString iconButton();
QString splitter();
// One button of a two-button segment; the first one carries the left corners.
QString segmentButton(bool first);
QString plainTextEdit();
// One field of a vertical run of joined fields.
QString lineEdit(bool topEnd, bool bottomEnd);
QString colorButton();

} // namespace utils::styles
