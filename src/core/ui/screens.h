#pragma once

#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

namespace utils {

// The widget's screen. Without one the desktop is gone: says so in a message box, asks the event loop
// to end and returns null. GUI thread only.
QScreen* screenOf(QWidget* widget);
// The screen's geometry, or its geometry without panels; a null rectangle when there is no screen.
QRect screenGeometry(QWidget* widget);
QRect availableScreenGeometry(QWidget* widget);

// The box into which an image of size `source` is scaled with its aspect kept to fit `target`: the
// free side one pixel larger than exact, so the other side always binds.
QSize scaleFactor(const QSize& source, const QSize& target);

} // namespace utils
