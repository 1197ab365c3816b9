#include "capture/ScreenGrabberLinWayland.h"

#include "capture/pictureReading.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QImage>
#include <QUrl>

#include <atomic>

namespace {

const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kResponse = QStringLiteral("Response");

// A portal refuses a handle token already used on the connection, and every grabber of this process
// shares the one session bus connection: the tokens are counted once per process.
std::atomic<qint64> requestCounter{0};

} // namespace

QString ScreenGrabberLinWayland::requestPath(const QString& uniqueName, const QString& token)
{
    QString sender = uniqueName;
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

QString ScreenGrabberLinWayland::localFileFromUri(const QString& uri)
{
    const QUrl url(uri, QUrl::TolerantMode);
    if (!url.isValid() || !url.isLocalFile())
        return QString();
    // A relative path would be looked up wherever we happen to run, and one starting with ':' among
    // our own resources.
    const QString path = url.toLocalFile();
    return path.startsWith(QLatin1Char('/')) ? path : QString();
}

void ScreenGrabberLinWayland::grabScreens()
{
    const QString token = QStringLiteral("u%1").arg(++requestCounter);
    QDBusConnection bus = QDBusConnection::sessionBus();

    // A fast portal may answer before its reply reaches us: listen where the request will appear first.
    const QString predictedPath = requestPath(bus.baseService(), token);
    subscribe(predictedPath);

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"));
    call << QStringLiteral("wayland:")
         << QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("interactive"), false}};
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    watcher->setProperty("predictedPath", predictedPath);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            &ScreenGrabberLinWayland::screenshotReplyHandler);
}

void ScreenGrabberLinWayland::screenshotReplyHandler(QDBusPendingCallWatcher* watcher)
{
    watcher->deleteLater();
    const QString predictedPath = watcher->property("predictedPath").toString();
    QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (reply.isError()) {
        unsubscribe(predictedPath);
        qCritical("[ScreenGrabberLinWayland] Error: %s", qUtf8Printable(reply.error().message()));
        emit failed();
        return;
    }
    // Older portals ignore the token; their request lives where the reply says.
    const QString path = reply.value().path();
    if (path != predictedPath) {
        unsubscribe(predictedPath);
        subscribe(path);
        // Its answer would never be heard.
        if (!m_subscribedPaths.contains(path))
            emit failed();
    }
}

void ScreenGrabberLinWayland::screenshotResultHandler(uint response, QVariantMap results)
{
    // Answers already queued when the first one arrived still come in; each request counts once.
    if (calledFromDBus() && !unsubscribe(message().path()))
        return;

    if (response != 0 || !results.contains(QStringLiteral("uri"))) {
        qCritical("[ScreenGrabberLinWayland] Failed to take screenshot");
        emit failed();
        return;
    }
    const QString uri = results.value(QStringLiteral("uri")).toString();
    const QString path = localFileFromUri(uri);
    QImage image = path.isEmpty() ? QImage() : utils::capture::readPictureFile(path);
    if (image.isNull())
        qWarning() << "[ScreenGrabberLinWayland] Could not load the screenshot" << uri;
    emit finished(splitByScreens(QPixmap::fromImage(std::move(image))));
}

void ScreenGrabberLinWayland::subscribe(const QString& path)
{
    if (path.isEmpty() || m_subscribedPaths.contains(path))
        return;
    if (QDBusConnection::sessionBus().connect(QString(), path, kRequestInterface, kResponse, this,
                                              SLOT(screenshotResultHandler(uint, QVariantMap))))
        m_subscribedPaths.insert(path);
    else
        qWarning() << "[ScreenGrabberLinWayland] Could not listen for the response at" << path;
}

bool ScreenGrabberLinWayland::unsubscribe(const QString& path)
{
    if (!m_subscribedPaths.remove(path))
        return false;
    QDBusConnection::sessionBus().disconnect(QString(), path, kRequestInterface, kResponse, this,
                                             SLOT(screenshotResultHandler(uint, QVariantMap)));
    return true;
}
