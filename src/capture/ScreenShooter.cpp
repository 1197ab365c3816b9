#include "capture/ScreenShooter.h"

#include "capture/ScreenGrabber.h"
#include "capture/ScreenShooterDialog.h"
#include "core/MemoryHold.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <stdexcept>

namespace {

// What a capture's pictures take at once: each screen's picture and its greyed copy, in device pixels of
// 32 bits, and the buffer that X11 reads the largest into first; with room for the allocator's own
// bookkeeping. A greyed copy does not reliably land in the freed read buffer: a small block taken in
// between may split it.
qint64 grabBytes()
{
    constexpr qint64 kRoom = 1024 * 1024;
    qint64 total = 0;
    qint64 largest = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QSize pixels = screen->geometry().size() * screen->devicePixelRatio();
        const qint64 bytes = qint64(pixels.width()) * pixels.height() * 4 + kRoom;
        total += bytes;
        largest = std::max(largest, bytes);
    }
    return 2 * total + largest;
}

} // namespace

ScreenShooter::ScreenShooter(QWidget* parent)
    : ScreenShooter([] { return createScreenGrabber(nullptr); }, parent)
{
}

ScreenShooter::ScreenShooter(GrabberFactory grabbers, QWidget* parent)
    : QWidget(parent), m_makeGrabber(std::move(grabbers)), m_grabLimit(new QTimer(this)),
      m_memory(new MemoryHold(this))
{
    if (!m_makeGrabber)
        throw std::runtime_error("[ScreenShooter] Screen grabber factory is null");
    setWindowOpacity(0.0);
    m_grabLimit->setSingleShot(true);
    m_grabLimit->setInterval(kGrabLimitMs);
    connect(m_grabLimit, &QTimer::timeout, this, &ScreenShooter::onGrabTimedOut);
    makeGrabber();
}

ScreenShooter::~ScreenShooter()
{
    closeDialogs();
    // The overlays go with this widget's children, after this object has stopped being a ScreenShooter.
    for (ScreenShooterDialog* overlay :
         findChildren<ScreenShooterDialog*>(QString(), Qt::FindDirectChildrenOnly))
        disconnect(overlay, &QObject::destroyed, this, nullptr);
}

void ScreenShooter::makeGrabber()
{
    m_grabber = m_makeGrabber();
    if (!m_grabber)
        throw std::runtime_error("[ScreenShooter] Screen grabber is null");
    m_grabber->setParent(this);
    connect(m_grabber, &ScreenGrabber::finished, this, &ScreenShooter::onScreensGrabbed);
    connect(m_grabber, &ScreenGrabber::failed, this, &ScreenShooter::onGrabFailed);
}

void ScreenShooter::setGrabLimit(int ms)
{
    m_grabLimit->setInterval(ms);
}

QList<ScreenShooterDialog*> ScreenShooter::overlays() const
{
    QList<ScreenShooterDialog*> open;
    for (const auto& dialog : m_dialogs)
        if (dialog)
            open.append(dialog);
    return open;
}

void ScreenShooter::makeScreenshot()
{
    closeDialogs();
    m_memory->hold(grabBytes());
    m_grabbing = true;
    m_grabLimit->start();
    m_grabber->grab();
}

void ScreenShooter::closeDialogs()
{
    // Taken first: each close queues another closeDialogs, which must find nothing left.
    const auto open = std::exchange(m_dialogs, {});
    m_undrawnOverlays = 0;
    for (const auto& dialog : open) {
        if (!dialog)
            continue;
        dialog->close();
        dialog->deleteLater();
    }
}

void ScreenShooter::keyPressEvent(QKeyEvent* event)
{
    closeDialogs();
    QWidget::keyPressEvent(event);
}

void ScreenShooter::onGrabFailed()
{
    m_grabbing = false;
    m_grabLimit->stop();
    if (m_liveOverlays == 0)
        m_memory->letGo();
    emit captureFailed();
}

void ScreenShooter::onGrabTimedOut()
{
    qWarning().noquote() << "[ScreenShooter] The screens were not grabbed within" << m_grabLimit->interval()
                         << "ms; the capture ends";
    // The request may still be answered, much later: it goes with its grabber, and the next capture
    // asks a new one, so that no overlay opens when nobody waits for it any more.
    m_grabber->disconnect(this);
    m_grabber->deleteLater();
    makeGrabber();
    onGrabFailed();
}

void ScreenShooter::onScreensGrabbed(const QList<Screenshot>& screenshots)
{
    m_grabbing = false;
    m_grabLimit->stop();
    closeDialogs();

    const bool nothingGrabbed = std::all_of(screenshots.cbegin(), screenshots.cend(),
                                            [](const Screenshot& shot) { return shot.pixmap.isNull(); });
    if (nothingGrabbed) {
        qWarning() << "[ScreenShooter] No screen could be grabbed; the capture does not start";
        if (m_liveOverlays == 0)
            m_memory->letGo();
        emit captureFailed();
        return;
    }

    QList<QRect> served;
    for (const Screenshot& shot : screenshots) {
        const QRect geometry = shot.screen ? shot.screen->geometry() : shot.geometry;
        // Mirrored screens show one picture; one overlay serves them all.
        if (served.contains(geometry))
            continue;
        served.append(geometry);
        auto* dialog = new ScreenShooterDialog(shot, this);
        ++m_liveOverlays;
        connect(dialog, &QObject::destroyed, this, &ScreenShooter::onOverlayDestroyed);
        connect(dialog, &ScreenShooterDialog::screenshotReady, this, &ScreenShooter::screenshotReady);
        connect(dialog, &ScreenShooterDialog::drawn, this, &ScreenShooter::onOverlayDrawn);
        dialog->showOnItsScreen();
        dialog->raise();
        m_dialogs.append(dialog);
        ++m_undrawnOverlays;
    }

    for (const auto& a : qAsConst(m_dialogs)) {
        for (const auto& b : qAsConst(m_dialogs)) {
            connect(a, &ScreenShooterDialog::mousePressed, b, &ScreenShooterDialog::mousePressedHandler,
                    Qt::DirectConnection);
            connect(a, &ScreenShooterDialog::mouseMoved, b, &ScreenShooterDialog::mouseMovedHandler,
                    Qt::DirectConnection);
            connect(a, &ScreenShooterDialog::mouseReleased, b, &ScreenShooterDialog::mouseReleasedHandler,
                    Qt::DirectConnection);
        }
        connect(a, &ScreenShooterDialog::closed, this, &ScreenShooter::closeDialogs, Qt::QueuedConnection);
    }
}

void ScreenShooter::onOverlayDestroyed()
{
    // The last overlay of a capture takes its screen pictures with it, tens of megabytes each on a 4K
    // screen: held for the next capture for a while, then handed back.
    if (--m_liveOverlays == 0 && !m_grabbing)
        m_memory->letGo();
}

void ScreenShooter::onOverlayDrawn()
{
    if (m_undrawnOverlays > 0 && --m_undrawnOverlays == 0)
        emit overlaysDrawn();
}
