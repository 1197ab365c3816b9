#pragma once

// Shared by the capture tests: a picture whose every pixel tells where it was, windows showing it on
// the real X server, and the means to drive the overlays.

#include "capture/ScreenGrabber.h"
#include "capture/ScreenGrabberLin.h"
#include "capture/ScreenShooter.h"
#include "capture/ScreenShooterDialog.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
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

// Shows the global pattern over a screen area, in device pixels at the given ratio.
class PatternWindow : public QWidget
{
public:
    explicit PatternWindow(const QRect& area, qreal ratio = 1)
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint),
          image(pattern(QRect(area.topLeft() * ratio, area.size() * ratio)))
    {
        image.setDevicePixelRatio(ratio);
        setGeometry(area);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, image); }

private:
    QImage image;
};

// Grabs with the X11 grabber until every screen shows the pattern (the server may need a moment to
// draw); returns that grab, or nothing when it never did.
inline QList<Screenshot> grabShownPattern()
{
    ScreenGrabberLin grabber(nullptr);
    QSignalSpy finished(&grabber, &ScreenGrabber::finished);
    QList<Screenshot> shots;
    const bool shown = QTest::qWaitFor(
        [&] {
            grabber.grab();
            if (!finished.wait(5000))
                return false;
            shots = finished.takeLast().at(0).value<QList<Screenshot>>();
            return shots.size() == QGuiApplication::screens().size() &&
                   std::all_of(shots.begin(), shots.end(), [](const Screenshot& shot) {
                       const QImage image = shot.pixmap.toImage();
                       const QPoint last = shot.geometry.topLeft() * (image.width() / shot.geometry.width()) +
                                           QPoint(image.width() - 1, image.height() - 1);
                       return !image.isNull() && image.pixel(image.width() - 1, image.height() - 1) ==
                                                     patternAt(last.x(), last.y());
                   });
        },
        10000);
    return shown ? shots : QList<Screenshot>();
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

// Real pointer and key events from another X client.
inline bool xdotool(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

// A press at start, a move through the middle to end and a release, as xdotool arguments.
inline QStringList pointerDrag(const QPoint& start, const QPoint& end)
{
    const auto move = [](const QPoint& p) {
        return QStringList{QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
    };
    return move(start) + QStringList{"mousedown", "1"} + move((start + end) / 2) + move(end) +
           QStringList{"mouseup", "1"};
}

} // namespace capture_test
