#include "capture/ScreenGrabber.h"
#include "capture/ScreenGrabberLin.h"
#include "capture/ScreenGrabberLinGnomeWayland.h"
#include "capture/ScreenGrabberLinKdeWayland.h"
#include "capture/ScreenGrabberLinWayland.h"
#include "core/SystemInfo.h"

#include <QDebug>

ScreenGrabberKind chooseScreenGrabber(const QString& requested, bool wayland, bool gnome, int gnomeVersion)
{
    if (requested == QLatin1String("gnome-wayland"))
        return ScreenGrabberKind::GnomeShell;
    if (requested == QLatin1String("kde-wayland"))
        return ScreenGrabberKind::KWin;
    if (requested == QLatin1String("wayland"))
        return ScreenGrabberKind::Portal;
    if (requested == QLatin1String("standard"))
        return ScreenGrabberKind::X11;

    if (!wayland)
        return ScreenGrabberKind::X11;
    // GNOME Shell stopped serving other programs in 41; the portal is the way from then on.
    if (gnome && gnomeVersion > 0 && gnomeVersion < 41)
        return ScreenGrabberKind::GnomeShell;
    return ScreenGrabberKind::Portal;
}

ScreenGrabber* createScreenGrabber(QObject* parent)
{
    const SystemInfo& system = utils::systemInfo();
    const ScreenGrabberKind kind =
        chooseScreenGrabber(qEnvironmentVariable("ZVN_SCREEN_GRABBER"), system.isWayland(), system.isGnome(),
                            system.gnomeVersion());
    switch (kind) {
    case ScreenGrabberKind::GnomeShell:
        qInfo() << "[ScreenGrabber] Using the GNOME Shell screenshot service";
        return new ScreenGrabberLinGnomeWayland(parent);
    case ScreenGrabberKind::KWin:
        qInfo() << "[ScreenGrabber] Using the KWin screenshot service";
        return new ScreenGrabberLinKdeWayland(parent);
    case ScreenGrabberKind::Portal:
        qInfo() << "[ScreenGrabber] Using the desktop portal";
        return new ScreenGrabberLinWayland(parent);
    case ScreenGrabberKind::X11:
        break;
    }
    qInfo() << "[ScreenGrabber] Using X11";
    return new ScreenGrabberLin(parent);
}
