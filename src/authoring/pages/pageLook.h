#pragma once

#include <QPoint>
#include <QString>

class QPushButton;
class QWidget;

// Small pieces of look and behaviour that the authoring pages share.
namespace authoring {

// A flat text button: grey, blue when hovered or pressed, light grey when disabled.
QString textButtonStyle();

// Where a page's settings button opens the application's menu: just below the button, in global
// coordinates.
QPoint menuPosition(const QPushButton* button);

} // namespace authoring
