#pragma once

#include <QColor>
#include <QString>

class QWidget;

namespace utils {

// Puts a 16 x 16 icon at the left inside a widget that has no layout yet (the sign-in fields).
void makeIconLabelRow(QWidget* widget, const QString& iconPath);

// Lays out now what the widgets of a shown `window` have asked to be laid out, level by level up to the
// window itself: each level asks (by a posted event) only once the level below it has settled, and a
// window's least size follows its pages' only then.
void settleLayouts(QWidget* window);

// Normal and error style sheets of the sign-in fields.
const char* lineEditStyle();
const char* lineEditErrorStyle();

// The colour of a recognition confidence: green, yellow, red, or grey for none.
QColor confidenceColor(double confidence);

// Texts shown under the sign-in fields for the service's error ids; empty for an unknown id.
QString emailErrorText(const QString& errorId);
QString passwordErrorText(const QString& errorId);

} // namespace utils
