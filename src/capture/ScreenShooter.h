#pragma once

#include "capture/Screenshot.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class MemoryHold;
class QTimer;
class ScreenGrabber;
class ScreenShooterDialog;

// Runs one capture: grabs every screen, opens one linked overlay per distinct screen and passes on the
// region that the user selects. Never shown itself.
class ScreenShooter : public QWidget
{
    Q_OBJECT

public:
    // Makes the grabber of every capture, owned by the shooter from then on.
    using GrabberFactory = std::function<ScreenGrabber*()>;

    // How long a grab may take before the capture ends as failed. A healthy desktop answers within a
    // second or two, also on two 4K screens; a screenshot service that died mid-request never answers,
    // and the hotkey must not wait for it until the program is restarted.
    static constexpr int kGrabLimitMs = 10000;

    // The grabber that createScreenGrabber chooses for the session.
    explicit ScreenShooter(QWidget* parent = nullptr);
    ScreenShooter(GrabberFactory grabbers, QWidget* parent);
    ~ScreenShooter() override;

    void setGrabLimit(int ms);

    // The overlays of the capture under way, in the order they were made.
    QList<ScreenShooterDialog*> overlays() const;
    // From makeScreenshot until the grab has failed, brought nothing or run out of time, or the overlays
    // have closed.
    bool isCapturing() const { return m_grabbing || !overlays().isEmpty(); }
    // Keeps the memory of one capture's pictures for the next, from makeScreenshot on.
    MemoryHold& memoryHold() const { return *m_memory; }

signals:
    // One per overlay on a release, one on a key; null means nothing was captured.
    void screenshotReady(QPixmap pixmap);
    // The grab failed, brought no picture or did not answer in time: no overlay opens.
    void captureFailed();
    // Every overlay of the capture has drawn its picture once: the frozen screens are on show.
    void overlaysDrawn();

public slots:
    void makeScreenshot();
    void closeDialogs();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void makeGrabber();
    void onScreensGrabbed(const QList<Screenshot>& screenshots);
    void onGrabFailed();
    void onGrabTimedOut();
    void onOverlayDestroyed();
    void onOverlayDrawn();

    GrabberFactory m_makeGrabber;
    ScreenGrabber* m_grabber = nullptr;
    QTimer* m_grabLimit = nullptr;
    MemoryHold* m_memory = nullptr;
    QList<QPointer<ScreenShooterDialog>> m_dialogs;
    int m_liveOverlays = 0;    // made and not yet destroyed, closed or not
    int m_undrawnOverlays = 0; // of the capture on show
    bool m_grabbing = false;
};
