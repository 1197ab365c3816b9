#pragma once

// Shared by the capture tests: a picture whose every pixel tells where it was, windows showing it on
// the real X server, and the means to drive the overlays.

#include "capture/ScreenGrabberLin.h"
#include "capture/ScreenShooter.h"
#include "capture/ScreenShooterDialog.h"
#include "support/TestMain.h"

#include <QLabel>
#include <QScreen>
#include <QWindow>

namespace capture_test {

// Red and green the low bits of x and y, blue their high bits.
inline QRgb patternAt(int x, int y)
{
    return qRgb(x & 0xff, y & 0xff, ((x >> 8) & 0xf) << 4 | ((y >> 8) & 0xf));
}

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

// Hands out given pictures, as a back-end would after grabbing them; or fails, as a refused service does;
// or never answers, as a service that died mid-request.
class GivenPictures : public ScreenGrabber
{
public:
    enum class Answer { Pictures, Failure, Silence };

    explicit GivenPictures(QList<Screenshot> shots, Answer answer = Answer::Pictures)
        : ScreenGrabber(nullptr), shots(std::move(shots)), answer(answer)
    {
    }

    // A shooter's grabbers, each handing out these pictures.
    static ScreenShooter::GrabberFactory factory(QList<Screenshot> shots, Answer answer = Answer::Pictures)
    {
        return [=] { return new GivenPictures(shots, answer); };
    }

protected:
    void grabScreens() override
    {
        if (answer == Answer::Failure)
            emit failed();
        else if (answer == Answer::Pictures)
            emit finished(shots);
    }

private:
    QList<Screenshot> shots;
    Answer answer;
};

// Whether the picture shows the pattern seen from origin; a null picture shows nothing wrong.
inline bool showsPattern(const QPixmap& picture, const QPoint& origin)
{
    return picture.toImage().convertToFormat(QImage::Format_RGB32) == pattern(QRect(origin, picture.size()));
}

// A window showing the global pattern over a screen area, in device pixels at the given ratio.
inline std::unique_ptr<QLabel> patternWindow(const QRect& area, int ratio = 1)
{
    auto window = std::make_unique<QLabel>(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    QImage image = pattern(QRect(area.topLeft() * ratio, area.size() * ratio));
    image.setDevicePixelRatio(ratio);
    window->setPixmap(QPixmap::fromImage(image));
    window->setGeometry(area);
    return window;
}

// Grabs with the X11 grabber until every screen shows the pattern whole (the server may need a moment
// to draw); returns that grab, or nothing when it never did.
inline QList<Screenshot> grabShownPattern()
{
    ScreenGrabberLin grabber(nullptr);
    QSignalSpy finished(&grabber, &ScreenGrabber::finished);
    QList<Screenshot> shots;
    const auto shown = [&] {
        grabber.grab();
        if (!finished.wait(zq::test::kWaitMs))
            return false;
        shots = finished.takeLast().at(0).value<QList<Screenshot>>();
        return std::all_of(shots.begin(), shots.end(), [](const Screenshot& shot) {
            const int scale = shot.pixmap.width() / shot.geometry.width();
            return scale > 0 && showsPattern(shot.pixmap, shot.geometry.topLeft() * scale);
        });
    };
    return QTest::qWaitFor(shown, zq::test::kWaitMs) ? shots : QList<Screenshot>();
}

// A drag step delivered at once (QTest moves the real pointer, whose events come later).
inline void dragTo(QWidget* widget, const QPoint& pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &move);
}

inline bool overlaysExposed(const ScreenShooter& shooter, int count)
{
    const auto overlays = shooter.overlays();
    return overlays.size() == count && std::all_of(overlays.begin(), overlays.end(), [](QWidget* overlay) {
               return overlay->windowHandle() && overlay->windowHandle()->isExposed();
           });
}

} // namespace capture_test
