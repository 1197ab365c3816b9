// Stands in for the desktop's screenshot services on a private session bus. The script comes as arguments,
// "name" or "name=value"; every call is reported on stdout as one compact JSON array
// [service, method, arguments...] so that the test can check what the client sent; ["ready"] once
// every name is ours.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDataStream>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

QHash<QString, QString> script;

void record(const QJsonArray& call)
{
    std::puts(QJsonDocument(call).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

struct Pipe
{
    int fd = -1;
    QByteArray data;
    int offset = 0;
    ~Pipe() { ::close(fd); }
};

// One chunk now, the next after the scripted pause; the pipe closes once all is written.
void writeChunks(const std::shared_ptr<Pipe>& pipe)
{
    const int end = qMin(pipe->offset + script.value("kwin-chunk", "65536").toInt(), pipe->data.size());
    while (pipe->offset < end) {
        const ssize_t n =
            ::write(pipe->fd, pipe->data.constData() + pipe->offset, size_t(end - pipe->offset));
        if (n <= 0)
            return; // reader gone
        pipe->offset += int(n);
    }
    if (pipe->offset < pipe->data.size())
        QTimer::singleShot(script.value("kwin-pause-ms").toInt(), [pipe] { writeChunks(pipe); });
}

} // namespace

// Writes the desktop into the file that the caller names, or into one of its own choice.
class FakeGnomeShell : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.Screenshot")

public slots:
    bool Screenshot(bool include_cursor, bool flash, const QString& filename, QString& filename_used)
    {
        record({"gnome", "Screenshot", include_cursor, flash, filename});
        if (script.contains("gnome-error")) {
            sendErrorReply("org.gnome.Shell.Screenshot.Error", "Screenshot refused");
            return false;
        }
        filename_used = script.value("gnome-used-name", filename);
        QFile::remove(filename_used);
        return QFile::copy(script.value("image"), filename_used);
    }
};

// Streams the desktop into the passed pipe as Qt's data-stream form of an image.
class FakeKWin : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Screenshot")

public slots:
    void screenshotFullscreen(const QDBusUnixFileDescriptor& fd, bool captureCursor)
    {
        record({"kwin", "screenshotFullscreen", fd.isValid(), captureCursor});
        auto pipe = std::make_shared<Pipe>();
        pipe->fd = ::dup(fd.fileDescriptor());
        ::fcntl(pipe->fd, F_SETFL, ::fcntl(pipe->fd, F_GETFL) & ~O_NONBLOCK);
        if (script.contains("kwin-empty"))
            return;
        QDataStream out(&pipe->data, QIODevice::WriteOnly);
        out << QImage(script.value("image"));
        // KWin answers at once and writes afterwards.
        QTimer::singleShot(0, [pipe] { writeChunks(pipe); });
    }
};

// Answers with a request handle, then with a Response signal on it.
class FakePortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public slots:
    QDBusObjectPath Screenshot(const QString& parent_window, const QVariantMap& options)
    {
        record({"portal", "Screenshot", parent_window, QJsonObject::fromVariantMap(options)});
        if (script.contains("portal-error")) {
            sendErrorReply("org.freedesktop.portal.Error.Failed", "No screenshot");
            return {};
        }
        // Older portals ignore the token and choose a path of their own.
        const bool ownPath = script.contains("portal-ignore-token");
        const QString path =
            "/org/freedesktop/portal/desktop/request/" + message().service().mid(1).replace('.', '_') + '/' +
            (ownPath ? QString("own%1").arg(++requests) : options["handle_token"].toString());
        const QString file = script.value("portal-file");
        QFile::remove(file);
        QFile::copy(script.value("image"), file);
        const QVariantMap results{{"uri", QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)}};
        QDBusMessage response =
            QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
        response << script.value("portal-response", "0").toUInt() << results;
        const auto answer = [response] { QDBusConnection::sessionBus().send(response); };
        if (script.contains("portal-early")) { // a fast portal: the answer overtakes the reply
            setDelayedReply(true);
            answer();
            QDBusConnection::sessionBus().send(
                message().createReply(QVariant::fromValue(QDBusObjectPath(path))));
        } else if (ownPath) { // known only from the reply: answered again until someone listens
            auto* again = new QTimer(this);
            connect(again, &QTimer::timeout, answer);
            again->start(50);
        } else if (!script.contains("portal-silent")) {
            for (int i = script.contains("portal-twice") ? 2 : 1; i > 0; --i)
                QTimer::singleShot(0, answer);
        }
        return QDBusObjectPath(path);
    }

private:
    int requests = 0;
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    for (const QString& argument : app.arguments().mid(1))
        script.insert(argument.section('=', 0, 0), argument.section('=', 1));

    // The test holds our stdin; when it goes, so do we, whatever happened to the test.
    QSocketNotifier parentWatch(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&parentWatch, &QSocketNotifier::activated, &app, [&app] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });

    QDBusConnection bus = QDBusConnection::sessionBus();
    FakeGnomeShell gnome;
    FakeKWin kwin;
    FakePortal portal;
    bus.registerObject("/org/gnome/Shell/Screenshot", &gnome, QDBusConnection::ExportAllSlots);
    bus.registerObject("/Screenshot", &kwin, QDBusConnection::ExportAllSlots);
    bus.registerObject("/org/freedesktop/portal/desktop", &portal, QDBusConnection::ExportAllSlots);

    // An earlier fake of the same test may still hold the names for a moment: queue behind it and
    // tell the test only once every name is ours.
    const QStringList names{"org.gnome.Shell.Screenshot", "org.kde.KWin", "org.freedesktop.portal.Desktop"};
    bool announced = false;
    const auto announce = [&] {
        for (const QString& name : names)
            if (bus.interface()->serviceOwner(name).value() != bus.baseService())
                return;
        if (!std::exchange(announced, true))
            record({"ready"});
    };
    QObject::connect(bus.interface(), &QDBusConnectionInterface::serviceRegistered, &app, announce);
    for (const QString& name : names)
        bus.interface()->registerService(name, QDBusConnectionInterface::QueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    announce();
    return app.exec();
}

#include "main.moc"
