#include "FakePortal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QJsonObject>
#include <QTimer>
#include <QUrl>

QDBusObjectPath FakePortal::Screenshot(const QString& parent_window, const QVariantMap& options)
{
    record(QStringLiteral("portal"), QStringLiteral("Screenshot"),
           {parent_window, QJsonObject::fromVariantMap(options)});
    if (script.portalError) {
        sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.Failed"),
                       QStringLiteral("No screenshot"));
        return {};
    }

    QString sender = message().service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString token = script.portalIgnoreToken ? QStringLiteral("own%1").arg(++ownRequests)
                                                   : options.value(QStringLiteral("handle_token")).toString();
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);

    QVariantMap results;
    if (!script.portalNoUri) {
        QFile::remove(script.portalFile);
        QFile::copy(script.image, script.portalFile);
        results.insert(QStringLiteral("uri"),
                       QUrl::fromLocalFile(script.portalFile).toString(QUrl::FullyEncoded));
    }
    QDBusMessage response = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                       QStringLiteral("Response"));
    response << script.portalResponse << results;

    if (script.portalSilent)
        return QDBusObjectPath(path);
    if (script.portalEarly) {
        setDelayedReply(true);
        QDBusConnection::sessionBus().send(response);
        QDBusConnection::sessionBus().send(message().createReply(QVariant::fromValue(QDBusObjectPath(path))));
        return {};
    }
    QTimer::singleShot(script.portalDelayMs, [response, twice = script.portalTwice] {
        QDBusConnection::sessionBus().send(response);
        if (twice)
            QDBusConnection::sessionBus().send(response);
    });
    return QDBusObjectPath(path);
}
