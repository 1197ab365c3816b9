#include "capture/ScreenShooter.h"

#include "capture/ScreenGrabber.h"
#include "capture/ScreenShooterDialog.h"
#include "core/memory.h"

#include <QDebug>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <stdexcept>

ScreenShooter::ScreenShooter(QWidget* parent)
    : ScreenShooter([] { return createScreenGrabber(nullptr); }, parent)
{
}

ScreenShooter::ScreenShooter(GrabberFactory grabbers, QWidget* parent)
    : QWidget(parent), m_makeGrabber(std::move(grabbers)), m_grabLimit(new QTimer(this))
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
    m_grabbing = true;
    m_grabLimit->start();
    m_grabber->grab();
}

void ScreenShooter::closeDialogs()
{
    // Taken first: each close queues another closeDialogs, which must find nothing left.
    const auto open = std::exchange(m_dialogs, {});
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
        dialog->showOnItsScreen();
        dialog->raise();
        m_dialogs.append(dialog);
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
    // screen; the allocator would keep them, and every capture would leave the program larger. Once the
    // overlay's window is gone too, they go back to the system.
    if (--m_liveOverlays == 0)
        QTimer::singleShot(0, this, [] { utils::releaseFreedMemory(); });
}
