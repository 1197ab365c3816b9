#pragma once

#include "capture/Screenshot.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class MemoryHold;
class ScreenGrabber;
class ScreenShooterDialog;

// Runs one capture: grabs every screen, opens one linked overlay per distinct screen and passes on the
// region that the user selects. Never shown itself.
class ScreenShooter : public QWidget
{
    Q_OBJECT

public:
    explicit ScreenShooter(QWidget* parent = nullptr);
    // Takes ownership of grabber.
    ScreenShooter(ScreenGrabber* grabber, QWidget* parent);
    ~ScreenShooter() override;

    // The overlays of the capture under way, in the order they were made.
    QList<ScreenShooterDialog*> overlays() const;
    // From makeScreenshot until the grab has failed or brought nothing, or the overlays have closed.
    bool isCapturing() const { return m_grabbing || !overlays().isEmpty(); }
    // Keeps the memory of one capture's pictures for the next, from makeScreenshot on.
    MemoryHold& memoryHold() const { return *m_memory; }

signals:
    // One per overlay on a release, one on a key; null means nothing was captured.
    void screenshotReady(QPixmap pixmap);
    // Every overlay of the capture has drawn its picture once: the frozen screens are on show.
    void overlaysDrawn();

public slots:
    void makeScreenshot();
    void closeDialogs();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onScreensGrabbed(const QList<Screenshot>& screenshots);
    void onGrabFailed();
    void onOverlayDestroyed();
    void onOverlayDrawn();

    ScreenGrabber* m_grabber = nullptr;
    MemoryHold* m_memory = nullptr;
    QList<QPointer<ScreenShooterDialog>> m_dialogs;
    int m_liveOverlays = 0;    // made and not yet destroyed, closed or not
    int m_undrawnOverlays = 0; // of the capture on show
    bool m_grabbing = false;
};
