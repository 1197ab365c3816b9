#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace utils {

// Registers the bundled fonts and makes IBM Plex Sans at 14 px the application font.
// Needs the QApplication object.
void loadApplicationFonts();

// The rule that gives every widget marked by markAsCodeHolder the code font.
QString codeFontStyleSheet();

// Marks a widget that shows code, LaTeX or delimiters for the code-font rule.
void markAsCodeHolder(QWidget* widget);

// Where every embedded web view loads the editor page from.
QUrl editorPageUrl();

} // namespace utils
