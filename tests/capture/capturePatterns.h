#pragma once

// Shared by the capture tests: a picture whose every pixel tells where it was, and the means to drive
// the overlays.

#include "capture/ScreenGrabber.h"
#include "capture/ScreenShooter.h"
#include "capture/ScreenShooterDialog.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QWindow>

#include <algorithm>

namespace capture_test {

// Red and green the low bits of x and y, blue their high bits.
inline QRgb patternAt(int x, int y)
{
    return qRgb(x & 0xff, y & 0xff, ((x >> 8) & 0xf) << 4 | ((y >> 8) & 0xf));
}

// The pattern of the given part of the plane.
inline QImage pattern(const QRect& area)
{
    QImage image(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < area.width(); ++x)
            line[x] = patternAt(area.x() + x, area.y() + y);
    }
    return image;
}

inline QImage pattern(const QSize& size)
{
    return pattern(QRect(QPoint(0, 0), size));
}

// The first pixel where the picture differs from the pattern seen from origin, or (-1, -1).
inline QPoint firstMismatch(const QPixmap& picture, const QPoint& origin)
{
    const QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != patternAt(origin.x() + x, origin.y() + y))
                return QPoint(x, y);
    return QPoint(-1, -1);
}

// Hands out given pictures, as a back-end would after grabbing them.
class GivenPictures : public ScreenGrabber
{
public:
    explicit GivenPictures(QList<Screenshot> shots) : ScreenGrabber(nullptr), shots(std::move(shots)) {}

protected:
    void grabScreens() override { emit finished(shots); }

private:
    QList<Screenshot> shots;
};

// A drag step delivered at once (QTest moves the real pointer, whose events come later).
inline void dragTo(QWidget* widget, const QPoint& pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &move);
}

inline bool overlaysExposed(const ScreenShooter& shooter, int count)
{
    const auto overlays = shooter.overlays();
    return overlays.size() == count &&
           std::all_of(overlays.begin(), overlays.end(), [](ScreenShooterDialog* o) {
               return o->windowHandle() && o->windowHandle()->isExposed();
           });
}

} // namespace capture_test
