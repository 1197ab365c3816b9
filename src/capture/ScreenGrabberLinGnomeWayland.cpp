#include "capture/ScreenGrabberLinGnomeWayland.h"

#include "capture/pictureReading.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDebug>
#include <QFile>
#include <QRandomGenerator>

void ScreenGrabberLinGnomeWayland::grabScreens()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("/org/gnome/Shell/Screenshot"),
        QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("Screenshot"));
    const QString fileName =
        QStringLiteral("/tmp/zorvane-%1.png").arg(QRandomGenerator::global()->generate());

    call << false << false << fileName;
    QDBusPendingReply<bool, QString> reply = QDBusConnection::sessionBus().asyncCall(call);
    reply.waitForFinished();
    if (reply.isError()) {
        qCritical("[ScreenGrabberLinGnomeWayland] Invalid reply from DBus: %s",
                  qUtf8Printable(reply.error().message()));
        emit failed();
        return;
    }

    const QString usedName = reply.argumentAt<1>();
    const QPixmap picture =
        QPixmap::fromImage(utils::capture::readPictureFile(usedName.isEmpty() ? fileName : usedName));
    // The file was written for us alone; once loaded it is only litter in /tmp.
    QFile::remove(fileName);
    if (picture.isNull())
        qWarning() << "[ScreenGrabberLinGnomeWayland] Could not load the screenshot" << usedName;
    emit finished(splitByScreens(picture));
}
