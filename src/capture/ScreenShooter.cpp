#include "capture/ScreenShooter.h"

#include "capture/ScreenGrabber.h"
#include "capture/ScreenShooterDialog.h"
#include "core/memory.h"

#include <QDebug>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <stdexcept>

ScreenShooter::ScreenShooter(QWidget* parent) : ScreenShooter(createScreenGrabber(nullptr), parent) {}

ScreenShooter::ScreenShooter(ScreenGrabber* grabber, QWidget* parent) : QWidget(parent), m_grabber(grabber)
{
    if (!grabber)
        throw std::runtime_error("[ScreenShooter] Screen grabber is null");
    grabber->setParent(this);
    setWindowOpacity(0.0);
    connect(grabber, &ScreenGrabber::finished, this, &ScreenShooter::onScreensGrabbed);
    connect(grabber, &ScreenGrabber::failed, this, &ScreenShooter::onGrabFailed);
}

ScreenShooter::~ScreenShooter()
{
    closeDialogs();
    // The overlays go with this widget's children, after this object has stopped being a ScreenShooter.
    for (ScreenShooterDialog* overlay :
         findChildren<ScreenShooterDialog*>(QString(), Qt::FindDirectChildrenOnly))
        disconnect(overlay, &QObject::destroyed, this, nullptr);
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
}

void ScreenShooter::onScreensGrabbed(const QList<Screenshot>& screenshots)
{
    m_grabbing = false;
    closeDialogs();

    const bool nothingGrabbed = std::all_of(screenshots.cbegin(), screenshots.cend(),
                                            [](const Screenshot& shot) { return shot.pixmap.isNull(); });
    if (nothingGrabbed) {
        qWarning() << "[ScreenShooter] No screen could be grabbed; the capture does not start";
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
    // screen; the allocator would keep them, and every capture would leave the program larger. Once the
    // overlay's window is gone too, they go back to the system.
    if (--m_liveOverlays == 0)
        QTimer::singleShot(0, this, [] { utils::releaseFreedMemory(); });
}

void ScreenShooter::onOverlayDrawn()
{
    if (m_undrawnOverlays > 0 && --m_undrawnOverlays == 0)
        emit overlaysDrawn();
}
