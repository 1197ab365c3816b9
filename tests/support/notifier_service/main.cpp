// Stands in for a desktop whose tray is a notifier service, on a private session bus: the watcher that
// takes the status notifier items, with a host registered, and the notification service that shows their
// messages. Every call is reported on stdout as one compact JSON array [method, arguments...]; ["ready"]
// once both names are ours.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>
#include <unistd.h>

namespace {

void record(const QJsonArray& call)
{
    std::puts(QJsonDocument(call).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

} // namespace

class FakeWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    bool hostRegistered() const { return true; }
    QStringList items() const { return m_items; }
    int protocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString& service)
    {
        record({"RegisterStatusNotifierItem", service});
        m_items << service;
        emit StatusNotifierItemRegistered(service);
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& service);

private:
    QStringList m_items;
};

class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public slots:
    uint Notify(const QString& appName, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int timeout)
    {
        record({"Notify", appName, summary, body, timeout});
        return ++m_last;
    }
    void CloseNotification(uint) {}
    QStringList GetCapabilities() { return {"body"}; }

signals:
    void NotificationClosed(uint id, uint reason);
    void ActionInvoked(uint id, const QString& action);

private:
    uint m_last = 0;
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);

    // The test holds our stdin; when it goes, so do we.
    QSocketNotifier parentWatch(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&parentWatch, &QSocketNotifier::activated, &app, [&app] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });

    QDBusConnection bus = QDBusConnection::sessionBus();
    FakeWatcher watcher;
    FakeNotifications notifications;
    const auto exported = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                          QDBusConnection::ExportAllProperties;
    bus.registerObject("/StatusNotifierWatcher", &watcher, exported);
    bus.registerObject("/org/freedesktop/Notifications", &notifications, exported);
    if (bus.registerService("org.kde.StatusNotifierWatcher") &&
        bus.registerService("org.freedesktop.Notifications"))
        record({"ready"});
    return app.exec();
}

#include "main.moc"
