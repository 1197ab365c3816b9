#pragma once

#include "capture/Screenshot.h"

#include <QObject>

// Obtains a picture of every screen; one back-end per kind of desktop, chosen by createScreenGrabber.
class ScreenGrabber : public QObject
{
    Q_OBJECT

public:
    explicit ScreenGrabber(QObject* parent);

    // Cuts a picture of the whole virtual desktop into one Screenshot per screen, in screen order.
    static QList<Screenshot> splitByScreens(const QPixmap& picture);

signals:
    // One entry per screen in the order of QGuiApplication::screens(), on the GUI thread.
    void finished(QList<Screenshot> screenshots);
    // The grab ended without pictures (the service refused or failed); `finished` does not follow.
    void failed();

public slots:
    // Grabs on the next pass of the event loop, after the overlays of a previous capture have gone.
    void grab();

protected slots:
    virtual void grabScreens() = 0;
};

enum class ScreenGrabberKind { X11, GnomeShell, KWin, Portal };

// The choice behind createScreenGrabber: requested is the value of ZVN_SCREEN_GRABBER (empty when unset);
// gnomeVersion is -1 when unknown.
ScreenGrabberKind chooseScreenGrabber(const QString& requested, bool wayland, bool gnome, int gnomeVersion);

// The grabber for this session: ZVN_SCREEN_GRABBER when it names one, otherwise by the desktop.
ScreenGrabber* createScreenGrabber(QObject* parent);
