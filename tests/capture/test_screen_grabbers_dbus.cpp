#include "capture/ScreenGrabberLinGnomeWayland.h"
#include "capture/ScreenGrabberLinKdeWayland.h"
#include "capture/ScreenGrabberLinWayland.h"
#include "support/PrivateSessionBus.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>

#include <memory>

namespace {

// The fake screenshot services, a process of their own on this test's private session bus.
class FakeServices
{
public:
    explicit FakeServices(const QStringList& script)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(qEnvironmentVariable("ZQ_BINARY_DIR") + "/tests/support/zq_fake_screenshot_service",
                      script);
    }

    ~FakeServices()
    {
        process.closeWriteChannel(); // the fake leaves when its stdin closes
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished();
    }

    bool waitUntilReady()
    {
        while (readLines(), !ready && process.waitForReadyRead(10000)) {
        }
        return ready;
    }

    // Every call the services received so far, as {"service", "method", "args"}.
    QList<QJsonObject> receivedCalls()
    {
        process.waitForReadyRead(0);
        readLines();
        return calls;
    }

private:
    void readLines()
    {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine().trimmed();
            if (line == "ready")
                ready = true;
            else
                calls.append(QJsonDocument::fromJson(line).object());
        }
    }

    QProcess process;
    QList<QJsonObject> calls;
    bool ready = false;
};

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// KWin's stream marker and a PNG whose header claims the given size, followed by an empty data chunk.
QByteArray kwinPngClaiming(quint32 width, quint32 height)
{
    QByteArray data("\0\0\0\1\x89PNG\r\n\x1a\n", 12);
    QDataStream out(&data, QIODevice::Append);
    QByteArray ihdr("IHDR");
    QDataStream(&ihdr, QIODevice::Append)
        << width << height << quint8(8) << quint8(2) << quint8(0) << quint8(0) << quint8(0);
    for (const QByteArray& chunk : {ihdr, QByteArray("IDAT")}) {
        out << quint32(chunk.size() - 4);
        out.writeRawData(chunk.constData(), chunk.size());
        out << crc32(chunk);
    }
    return data;
}

QStringList& loggedMessages()
{
    static QStringList messages;
    return messages;
}

QtMessageHandler previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    loggedMessages().append(message);
    previousHandler(type, context, message);
}

std::unique_ptr<ScreenGrabber> grabberFor(const QString& service)
{
    if (service == QLatin1String("gnome"))
        return std::make_unique<ScreenGrabberLinGnomeWayland>(nullptr);
    if (service == QLatin1String("kwin"))
        return std::make_unique<ScreenGrabberLinKdeWayland>(nullptr);
    return std::make_unique<ScreenGrabberLinWayland>(nullptr);
}

QString handleToken(const QJsonObject& call)
{
    return call.value("args").toArray().at(1).toObject().value("handle_token").toString();
}

} // namespace

class TestScreenGrabbersDBus : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;
    QString desktopFile;
    QSize screenSize;

    std::unique_ptr<FakeServices> startServices(QStringList script)
    {
        auto services = std::make_unique<FakeServices>(script << "--image" << desktopFile);
        return services->waitUntilReady() ? std::move(services) : nullptr;
    }

    // The desktop picture is twice the screen's size: red left half, blue right half.
    void checkScaledDesktop(const QSignalSpy& finished)
    {
        const auto shots = finished.at(0).at(0).value<QList<Screenshot>>();
        QCOMPARE(shots.size(), 1);
        QCOMPARE(shots.at(0).screen, QGuiApplication::primaryScreen());
        QCOMPARE(shots.at(0).geometry, QGuiApplication::primaryScreen()->geometry());
        const QImage image = shots.at(0).pixmap.toImage();
        QCOMPARE(image.size(), screenSize);
        QCOMPARE(image.pixelColor(screenSize.width() / 4, screenSize.height() / 2), QColor(Qt::red));
        QCOMPARE(image.pixelColor(screenSize.width() * 3 / 4, screenSize.height() / 2), QColor(Qt::blue));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        screenSize = QGuiApplication::primaryScreen()->geometry().size();
        QImage desktop(screenSize * 2, QImage::Format_RGB32);
        desktop.fill(Qt::red);
        QPainter(&desktop).fillRect(screenSize.width(), 0, screenSize.width(), desktop.height(), Qt::blue);
        desktopFile = folder.filePath("desktop.png");
        QVERIFY(desktop.save(desktopFile));
        previousHandler = qInstallMessageHandler(recordMessage);
    }

    void init() { loggedMessages().clear(); }

    void desktopPictureArrives_data()
    {
        QTest::addColumn<QString>("call"); // service.method the grabber must call
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("kept"); // a file that is not ours and must stay
        const QString elsewhere = folder.filePath("shell chose this.png");
        const QString escaped = folder.filePath("Screenshot from 2026-12-06 21-00 é #1.png");
        const QString portalFile = folder.filePath("q.png");
        QTest::newRow("gnome shell, our file") << "gnome.Screenshot" << QStringList() << QString();
        QTest::newRow("gnome shell, its own file")
            << "gnome.Screenshot" << QStringList{"--gnome-used-name", elsewhere} << elsewhere;
        QTest::newRow("kwin, paused chunks")
            << "kwin.screenshotFullscreen" << QStringList{"--kwin-chunk", "3000", "--kwin-pause-ms", "5"}
            << QString();
        QTest::newRow("portal, escaped name")
            << "portal.Screenshot" << QStringList{"--portal-file", escaped} << escaped;
        QTest::newRow("portal, answer before the reply")
            << "portal.Screenshot" << QStringList{"--portal-early", "--portal-file", portalFile}
            << portalFile;
        // Such a portal's path is known only from the reply; the user takes a moment to answer anyway.
        QTest::newRow("portal, own request path")
            << "portal.Screenshot"
            << QStringList{"--portal-ignore-token", "--portal-delay-ms", "500", "--portal-file", portalFile}
            << portalFile;
        QTest::newRow("portal, late answer")
            << "portal.Screenshot" << QStringList{"--portal-delay-ms", "200", "--portal-file", portalFile}
            << portalFile;
    }

    void desktopPictureArrives()
    {
        QFETCH(QString, call);
        QFETCH(QStringList, script);
        QFETCH(QString, kept);
        auto services = startServices(script);
        QVERIFY(services);
        const QString service = call.section('.', 0, 0);
        auto grabber = grabberFor(service);
        QSignalSpy finished(grabber.get(), &ScreenGrabber::finished);
        grabber->grab();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        checkScaledDesktop(finished);
        if (!kept.isEmpty())
            QVERIFY(QFileInfo::exists(kept));

        const auto calls = services->receivedCalls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.at(0).value("service").toString() + '.' + calls.at(0).value("method").toString(),
                 call);
        const QJsonArray args = calls.at(0).value("args").toArray();
        if (service == QLatin1String("kwin")) {
            QCOMPARE(args, QJsonArray({true, false})); // a pipe, no cursor
        } else if (service == QLatin1String("portal")) {
            QCOMPARE(args,
                     QJsonArray({"wayland:", QJsonObject{{"handle_token", "u1"}, {"interactive", false}}}));
        } else {
            QCOMPARE(args.at(0).toBool(true), false); // include_cursor
            QCOMPARE(args.at(1).toBool(true), false); // flash
            if (kept.isEmpty()) {
                const QString ours = args.at(2).toString();
                QVERIFY2(QRegularExpression("^/tmp/zorvane-\\d+\\.png$").match(ours).hasMatch(),
                         qPrintable(ours));
                QVERIFY(!QFileInfo::exists(ours));
            }
        }
    }

    void refusalsStartNoCapture_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("logged");
        const QString failed = "[ScreenGrabberLinWayland] Failed to take screenshot";
        QTest::newRow("gnome error")
            << "gnome" << QStringList{"--gnome-error"}
            << "[ScreenGrabberLinGnomeWayland] Invalid reply from DBus: Screenshot refused";
        QTest::newRow("portal cancelled") << "portal" << QStringList{"--portal-response", "1"} << failed;
        QTest::newRow("portal other failure") << "portal" << QStringList{"--portal-response", "2"} << failed;
        QTest::newRow("portal without uri") << "portal" << QStringList{"--portal-no-uri"} << failed;
        QTest::newRow("portal error reply")
            << "portal" << QStringList{"--portal-error"} << "[ScreenGrabberLinWayland] Error: No screenshot";
    }

    void refusalsStartNoCapture()
    {
        QFETCH(QString, service);
        QFETCH(QStringList, script);
        QFETCH(QString, logged);
        auto services = startServices(script << "--portal-file" << folder.filePath("r.png"));
        QVERIFY(services);
        auto grabber = grabberFor(service);
        QSignalSpy finished(grabber.get(), &ScreenGrabber::finished);
        grabber->grab();
        QTRY_VERIFY(loggedMessages().contains(logged));
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 0);
    }

    void kwinFailuresGiveNullPictures_data()
    {
        QTest::addColumn<QStringList>("script"); // empty: no service at all
        QTest::newRow("closed without data") << QStringList{"--kwin-empty"};
        QTest::newRow("no image in the data") << QStringList{"--kwin-garbage"};
        QTest::newRow("silent after the first bytes")
            << QStringList{"--kwin-chunk", "100", "--kwin-pause-ms", "600000"};
        QTest::newRow("not running") << QStringList{};
    }

    void kwinFailuresGiveNullPictures()
    {
        QFETCH(QStringList, script);
        std::unique_ptr<FakeServices> services;
        if (!script.isEmpty())
            QVERIFY(services = startServices(script));
        ScreenGrabberLinKdeWayland grabber(nullptr);
        grabber.setIdleTimeout(std::chrono::milliseconds(300));
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        grabber.grab();
        QTRY_COMPARE(finished.count(), 1);
        const auto shots = finished.at(0).at(0).value<QList<Screenshot>>();
        QCOMPARE(shots.size(), QGuiApplication::screens().size());
        QVERIFY(shots.at(0).pixmap.isNull());
    }

    void kwinStreamIsDecodedOrRefused_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QSize>("expected"); // invalid: null image

        QImage small(7, 5, QImage::Format_RGB32);
        small.fill(Qt::green);
        QByteArray streamed, nullImage;
        QDataStream toStreamed(&streamed, QIODevice::WriteOnly), toNull(&nullImage, QIODevice::WriteOnly);
        toStreamed << small;
        toNull << QImage();

        QTest::newRow("image") << streamed << QSize(7, 5);
        QTest::newRow("null image") << nullImage << QSize();
        QTest::newRow("cut short") << streamed.left(streamed.size() - 20) << QSize();
        QTest::newRow("empty") << QByteArray() << QSize();
        QTest::newRow("marker only") << QByteArray("\0\0\0\1", 4) << QSize();
        QTest::newRow("plausible size claimed, no pixels") << kwinPngClaiming(640, 480) << QSize();
        QTest::newRow("absurd size claimed") << kwinPngClaiming(100000, 100000) << QSize();
        QTest::newRow("too many pixels claimed") << kwinPngClaiming(30000, 30000) << QSize();
    }

    void kwinStreamIsDecodedOrRefused()
    {
        QFETCH(QByteArray, data);
        QFETCH(QSize, expected);
        const QImage image = ScreenGrabberLinKdeWayland::decodeImage(data);
        QCOMPARE(image.size(), expected.isValid() ? expected : QSize(0, 0));
        if (expected.isValid())
            QCOMPARE(image.pixelColor(3, 2), QColor(Qt::green));
    }

    void portalAnswerIsTakenOnce()
    {
        auto services = startServices({"--portal-twice", "--portal-file", folder.filePath("t.png")});
        QVERIFY(services);
        ScreenGrabberLinWayland grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        grabber.grab();
        QTRY_COMPARE(finished.count(), 1);
        // The repeated answer reached us before the second request's; only the second may count.
        grabber.grab();
        QTRY_COMPARE(finished.count(), 2);
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 2);
    }

    void portalThatNeverAnswersDoesNotBlockTheNextCaptures()
    {
        ScreenGrabberLinWayland grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        {
            auto silent = startServices({"--portal-silent"});
            QVERIFY(silent);
            grabber.grab();
            QTRY_COMPARE(silent->receivedCalls().size(), 1);
        }
        auto services = startServices({"--portal-file", folder.filePath("s.png")});
        QVERIFY(services);
        for (int i = 1; i <= 2; ++i) {
            grabber.grab();
            QTRY_COMPARE(finished.count(), i);
        }
        checkScaledDesktop(finished);
        QStringList tokens; // each request has a token of its own
        for (const QJsonObject& call : services->receivedCalls())
            tokens << handleToken(call);
        QCOMPARE(tokens, QStringList({"u2", "u3"}));
    }

    void portalUriBecomesALocalPath_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("path"); // empty: refused
        QTest::newRow("plain") << "file:///tmp/a.png"
                               << "/tmp/a.png";
        QTest::newRow("space and accent") << "file:///home/u/Pictures/Screenshot%20from%20%C3%A9t%C3%A9.png"
                                          << "/home/u/Pictures/Screenshot from été.png";
        QTest::newRow("hash") << "file:///tmp/%231.png"
                              << "/tmp/#1.png";
        QTest::newRow("not a file") << "https://example.org/a.png"
                                    << "";
        QTest::newRow("relative") << "file:tmp/a.png"
                                  << "";
        QTest::newRow("resource") << "file:://tmp/a.png"
                                  << "";
        QTest::newRow("empty") << ""
                               << "";
    }

    void portalUriBecomesALocalPath()
    {
        QFETCH(QString, uri);
        QFETCH(QString, path);
        QCOMPARE(ScreenGrabberLinWayland::localFileFromUri(uri), path);
    }
};

int main(int argc, char* argv[])
{
    zq::test::runOnPrivateSessionBus(argc, argv);
    zq::test::prepareEnvironment();
    QApplication app(argc, argv);
    zq::test::prepareApplication();
    TestScreenGrabbersDBus tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "test_screen_grabbers_dbus.moc"
