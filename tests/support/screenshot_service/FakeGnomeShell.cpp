#include "FakeGnomeShell.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QTimer>

bool FakeGnomeShell::Screenshot(bool include_cursor, bool flash, const QString& filename,
                                QString& filename_used)
{
    record(QStringLiteral("gnome"), QStringLiteral("Screenshot"), {include_cursor, flash, filename});
    if (script.gnomeError) {
        sendErrorReply(QStringLiteral("org.gnome.Shell.Screenshot.Error"),
                       QStringLiteral("Screenshot refused"));
        return false;
    }
    filename_used = script.gnomeUsedName.isEmpty() ? filename : script.gnomeUsedName;
    QFile::remove(filename_used);
    const bool written = QFile::copy(script.image, filename_used);
    if (script.gnomeDelayMs <= 0)
        return written;

    setDelayedReply(true);
    const QDBusMessage reply = message().createReply({written, filename_used});
    QTimer::singleShot(script.gnomeDelayMs, [reply] { QDBusConnection::sessionBus().send(reply); });
    return written;
}
