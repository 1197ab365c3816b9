// Stands in for the desktop's screenshot services on a private session bus.

#include "FakeGnomeShell.h"
#include "FakeKWin.h"
#include "FakePortal.h"
#include "Script.h"

#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

void record(const QString& service, const QString& method, const QJsonArray& args)
{
    const QJsonObject call{{"service", service}, {"method", method}, {"args", args}};
    std::fputs(QJsonDocument(call).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    // The test holds our stdin; when it goes, so do we, whatever happened to the test.
    QSocketNotifier parentWatch(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&parentWatch, &QSocketNotifier::activated, &app, [&app] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });

    QCommandLineParser parser;
    const auto value = [&](const char* name) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        parser.addOption(option);
        return option;
    };
    const auto flag = [&](const char* name) {
        QCommandLineOption option(QString::fromLatin1(name));
        parser.addOption(option);
        return option;
    };
    const auto image = value("image"), gnomeError = flag("gnome-error"),
               gnomeUsedName = value("gnome-used-name"), gnomeDelay = value("gnome-delay-ms"),
               kwinChunk = value("kwin-chunk"), kwinPause = value("kwin-pause-ms"),
               kwinEmpty = flag("kwin-empty"), kwinGarbage = flag("kwin-garbage"),
               portalResponse = value("portal-response"), portalFile = value("portal-file"),
               portalNoUri = flag("portal-no-uri"), portalError = flag("portal-error"),
               portalSilent = flag("portal-silent"), portalEarly = flag("portal-early"),
               portalIgnoreToken = flag("portal-ignore-token"), portalDelay = value("portal-delay-ms"),
               portalTwice = flag("portal-twice");
    parser.process(app);

    Script script;
    script.image = parser.value(image);
    script.gnomeError = parser.isSet(gnomeError);
    script.gnomeUsedName = parser.value(gnomeUsedName);
    script.gnomeDelayMs = parser.value(gnomeDelay).toInt();
    if (parser.isSet(kwinChunk))
        script.kwinChunk = qMax(1, parser.value(kwinChunk).toInt());
    script.kwinPauseMs = parser.value(kwinPause).toInt();
    script.kwinEmpty = parser.isSet(kwinEmpty);
    script.kwinGarbage = parser.isSet(kwinGarbage);
    script.portalResponse = parser.value(portalResponse).toUInt();
    script.portalFile = parser.value(portalFile);
    script.portalNoUri = parser.isSet(portalNoUri);
    script.portalError = parser.isSet(portalError);
    script.portalSilent = parser.isSet(portalSilent);
    script.portalEarly = parser.isSet(portalEarly);
    script.portalIgnoreToken = parser.isSet(portalIgnoreToken);
    script.portalTwice = parser.isSet(portalTwice);
    script.portalDelayMs = parser.value(portalDelay).toInt();

    QDBusConnection bus = QDBusConnection::sessionBus();
    FakeGnomeShell gnome(script);
    FakeKWin kwin(script);
    FakePortal portal(script);
    const auto exported = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals;
    bus.registerObject(QStringLiteral("/org/gnome/Shell/Screenshot"), &gnome, exported);
    bus.registerObject(QStringLiteral("/Screenshot"), &kwin, exported);
    bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal, exported);

    // An earlier fake of the same test may still hold the names for a moment: queue behind it and
    // tell the test only once every name is ours.
    const QStringList names{QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("org.kde.KWin"),
                            QStringLiteral("org.freedesktop.portal.Desktop")};
    QSet<QString> owned;
    const auto announce = [&](const QString& name) {
        if (!names.contains(name) || owned.contains(name))
            return;
        owned.insert(name);
        if (owned.size() == names.size()) {
            std::puts("ready");
            std::fflush(stdout);
        }
    };
    QObject::connect(bus.interface(), &QDBusConnectionInterface::serviceRegistered, &app, announce);
    for (const QString& name : names) {
        const auto reply = bus.interface()->registerService(name, QDBusConnectionInterface::QueueService,
                                                            QDBusConnectionInterface::DontAllowReplacement);
        if (reply.value() == QDBusConnectionInterface::ServiceRegistered)
            announce(name);
    }
    return app.exec();
}
