#pragma once

#include "capture/ScreenGrabber.h"

#include <QDBusContext>
#include <QSet>
#include <QVariantMap>

class QDBusPendingCallWatcher;

// Any other Wayland desktop: the desktop portal's Screenshot request, answered by a Response signal.
class ScreenGrabberLinWayland : public ScreenGrabber, protected QDBusContext
{
    Q_OBJECT

public:
    using ScreenGrabber::ScreenGrabber;

    // The object path of the request that the portal makes for a handle token on a connection with the
    // given unique name (":1.42" and "u1" give ".../request/1_42/u1").
    static QString requestPath(const QString& uniqueName, const QString& token);

    // The local file that a portal "uri" names, escapes decoded; empty for anything but a file URI.
    static QString localFileFromUri(const QString& uri);

protected slots:
    void grabScreens() override;
    void screenshotReplyHandler(QDBusPendingCallWatcher* watcher);
    void screenshotResultHandler(uint response, QVariantMap results);

private:
    void subscribe(const QString& path);
    bool unsubscribe(const QString& path);

    QSet<QString> m_subscribedPaths;
};
