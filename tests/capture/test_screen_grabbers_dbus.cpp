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
        process.setProgram(qEnvironmentVariable("ZQ_BINARY_DIR") +
                           QStringLiteral("/tests/support/zq_fake_screenshot_service"));
        process.setArguments(script);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
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
        while (process.state() != QProcess::NotRunning || process.canReadLine()) {
            while (process.canReadLine()) {
                const QByteArray line = process.readLine().trimmed();
                if (line == "ready")
                    return true;
                calls.append(QJsonDocument::fromJson(line).object());
            }
            if (!process.waitForReadyRead(10000))
                return false;
        }
        return false;
    }

    // Every call the services received so far, as {"service", "method", "args"}.
    QList<QJsonObject> receivedCalls()
    {
        process.waitForReadyRead(0);
        while (process.canReadLine())
            calls.append(QJsonDocument::fromJson(process.readLine()).object());
        return calls;
    }

private:
    QProcess process;
    QList<QJsonObject> calls;
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

// A PNG whose header claims the given size, followed by an empty data chunk.
QByteArray pngHeader(quint32 width, quint32 height)
{
    QByteArray ihdr("IHDR");
    {
        QDataStream fields(&ihdr, QIODevice::Append);
        fields << width << height << quint8(8) << quint8(2) << quint8(0) << quint8(0) << quint8(0);
    }
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QDataStream out(&png, QIODevice::Append);
    out << quint32(13);
    out.writeRawData(ihdr.constData(), ihdr.size());
    out << crc32(ihdr) << quint32(0);
    out.writeRawData("IDAT", 4);
    out << crc32("IDAT");
    return png;
}

QByteArray kwinStream(const QByteArray& png)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << qint32(1);
    return data + png;
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
        script << QStringLiteral("--image") << desktopFile;
        auto services = std::make_unique<FakeServices>(script);
        if (!services->waitUntilReady())
            return nullptr;
        return services;
    }

    // The desktop picture is twice the screen's size: red left half, blue right half.
    static void checkScaledDesktop(const QList<Screenshot>& shots, const QSize& screenSize)
    {
        QCOMPARE(shots.size(), 1);
        QCOMPARE(shots.at(0).screen, QGuiApplication::primaryScreen());
        QCOMPARE(shots.at(0).geometry, QGuiApplication::primaryScreen()->geometry());
        const QImage image = shots.at(0).pixmap.toImage();
        QCOMPARE(image.size(), screenSize);
        QCOMPARE(image.pixelColor(screenSize.width() / 4, screenSize.height() / 2), QColor(Qt::red));
        QCOMPARE(image.pixelColor(screenSize.width() * 3 / 4, screenSize.height() / 2), QColor(Qt::blue));
    }

    static QList<Screenshot> shotsOf(const QSignalSpy& spy, int index = 0)
    {
        return spy.at(index).at(0).value<QList<Screenshot>>();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        screenSize = QGuiApplication::primaryScreen()->geometry().size();
        QImage desktop(screenSize * 2, QImage::Format_RGB32);
        QPainter painter(&desktop);
        painter.fillRect(0, 0, screenSize.width(), desktop.height(), Qt::red);
        painter.fillRect(screenSize.width(), 0, screenSize.width(), desktop.height(), Qt::blue);
        painter.end();
        desktopFile = folder.filePath(QStringLiteral("desktop.png"));
        QVERIFY(desktop.save(desktopFile));
        previousHandler = qInstallMessageHandler(recordMessage);
    }

    void init() { loggedMessages().clear(); }

    void gnomeShellPictureIsLoadedAndOurFileRemoved()
    {
        auto services = startServices({});
        QVERIFY(services);
        ScreenGrabberLinGnomeWayland grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        grabber.grab();
        QTRY_COMPARE(finished.count(), 1);
        checkScaledDesktop(shotsOf(finished), screenSize);

        const auto calls = services->receivedCalls();
        QCOMPARE(calls.size(), 1);
        const QJsonArray args = calls.at(0).value("args").toArray();
        QCOMPARE(args.at(0).toBool(true), false); // include_cursor
        QCOMPARE(args.at(1).toBool(true), false); // flash
        const QString fileName = args.at(2).toString();
        QVERIFY2(QRegularExpression(QStringLiteral("^/tmp/zorvane-\\d+\\.png$")).match(fileName).hasMatch(),
                 qPrintable(fileName));
        QVERIFY(!QFileInfo::exists(fileName));
    }

    void gnomeShellErrorStartsNoCapture()
    {
        auto services = startServices({QStringLiteral("--gnome-error")});
        QVERIFY(services);
        ScreenGrabberLinGnomeWayland grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        grabber.grab();
        QTRY_VERIFY(loggedMessages().contains(
            QStringLiteral("[ScreenGrabberLinGnomeWayland] Invalid reply from DBus: Screenshot refused")));
        QCOMPARE(finished.count(), 0);
    }

    void gnomeShellFileInAnotherPlaceIsLoadedAndLeft()
    {
        const QString elsewhere = folder.filePath(QStringLiteral("shell chose this.png"));
        auto services = startServices({QStringLiteral("--gnome-used-name"), elsewhere});
        QVERIFY(services);
        ScreenGrabberLinGnomeWayland grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        grabber.grab();
        QTRY_COMPARE(finished.count(), 1);
        checkScaledDesktop(shotsOf(finished), screenSize);
        QVERIFY(QFileInfo::exists(elsewhere));
    }

    void kwinImageArrivesWholeThroughPausedChunks()
    {
        auto services = startServices({QStringLiteral("--kwin-chunk"), QStringLiteral("3000"),
                                       QStringLiteral("--kwin-pause-ms"), QStringLiteral("5")});
        QVERIFY(services);
        ScreenGrabberLinKdeWayland grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        grabber.grab();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        checkScaledDesktop(shotsOf(finished), screenSize);
        const auto calls = services->receivedCalls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.at(0).value("method").toString(), QStringLiteral("screenshotFullscreen"));
        QCOMPARE(calls.at(0).value("args").toArray(), QJsonArray({true, false}));
    }

    void kwinFailuresGiveNullPictures_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<bool>("running");
        QTest::newRow("closed without data") << QStringList{QStringLiteral("--kwin-empty")} << true;
        QTest::newRow("no image in the data") << QStringList{QStringLiteral("--kwin-garbage")} << true;
        QTest::newRow("silent after the first bytes")
            << QStringList{QStringLiteral("--kwin-chunk"), QStringLiteral("100"),
                           QStringLiteral("--kwin-pause-ms"), QStringLiteral("600000")}
            << true;
        QTest::newRow("not running") << QStringList{} << false;
    }

    void kwinFailuresGiveNullPictures()
    {
        QFETCH(QStringList, script);
        QFETCH(bool, running);
        std::unique_ptr<FakeServices> services;
        if (running) {
            services = startServices(script);
            QVERIFY(services);
        }
        ScreenGrabberLinKdeWayland grabber(nullptr);
        grabber.setIdleTimeout(std::chrono::milliseconds(300));
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        grabber.grab();
        QTRY_COMPARE(finished.count(), 1);
        const QList<Screenshot> shots = shotsOf(finished);
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
        QTest::newRow("plausible size claimed, no pixels") << kwinStream(pngHeader(640, 480)) << QSize();
        QTest::newRow("absurd size claimed") << kwinStream(pngHeader(100000, 100000)) << QSize();
        QTest::newRow("too many pixels claimed") << kwinStream(pngHeader(30000, 30000)) << QSize();
    }

    void kwinStreamIsDecodedOrRefused()
    {
        QFETCH(QByteArray, data);
        QFETCH(QSize, expected);
        const QImage image = ScreenGrabberLinKdeWayland::decodeImage(data);
        if (!expected.isValid()) {
            QVERIFY(image.isNull());
            return;
        }
        QCOMPARE(image.size(), expected);
        QCOMPARE(image.pixelColor(3, 2), QColor(Qt::green));
    }

    void portalPictureUnderAnEscapedNameIsLoadedAndLeft()
    {
        const QString saved = folder.filePath(QStringLiteral("Screenshot from 2026-12-06 21-00 é #1.png"));
        auto services = startServices({QStringLiteral("--portal-file"), saved});
        QVERIFY(services);
        ScreenGrabberLinWayland grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        grabber.grab();
        QTRY_COMPARE(finished.count(), 1);
        checkScaledDesktop(shotsOf(finished), screenSize);
        QVERIFY(QFileInfo::exists(saved));

        const auto calls = services->receivedCalls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.at(0).value("args").toArray(),
                 QJsonArray({QStringLiteral("wayland:"),
                             QJsonObject{{"handle_token", "u1"}, {"interactive", false}}}));
    }

    void portalRequestsCountTheirTokens()
    {
        auto services =
            startServices({QStringLiteral("--portal-file"), folder.filePath(QStringLiteral("p.png"))});
        QVERIFY(services);
        ScreenGrabberLinWayland grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        for (int i = 1; i <= 3; ++i) {
            grabber.grab();
            QTRY_COMPARE(finished.count(), i);
        }
        QStringList tokens;
        for (const QJsonObject& call : services->receivedCalls())
            tokens << call.value("args").toArray().at(1).toObject().value("handle_token").toString();
        QCOMPARE(tokens, QStringList({"u1", "u2", "u3"}));
    }

    void portalAnswersAreTakenHoweverTheyCome_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::newRow("before the reply") << QStringList{QStringLiteral("--portal-early")};
        // Such a portal's path is known only from the reply; the user takes a moment to answer anyway.
        QTest::newRow("own request path")
            << QStringList{QStringLiteral("--portal-ignore-token"), QStringLiteral("--portal-delay-ms"),
                           QStringLiteral("500")};
        QTest::newRow("late") << QStringList{QStringLiteral("--portal-delay-ms"), QStringLiteral("200")};
    }

    void portalAnswersAreTakenHoweverTheyCome()
    {
        QFETCH(QStringList, script);
        auto services = startServices(script << QStringLiteral("--portal-file") << folder.filePath("q.png"));
        QVERIFY(services);
        ScreenGrabberLinWayland grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        grabber.grab();
        QTRY_COMPARE(finished.count(), 1);
        checkScaledDesktop(shotsOf(finished), screenSize);
    }

    void portalAnswerIsTakenOnce()
    {
        auto services = startServices({QStringLiteral("--portal-twice"), QStringLiteral("--portal-file"),
                                       folder.filePath(QStringLiteral("t.png"))});
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

    void portalThatNeverAnswersDoesNotBlockTheNextCapture()
    {
        ScreenGrabberLinWayland grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        {
            auto silent = startServices({QStringLiteral("--portal-silent")});
            QVERIFY(silent);
            grabber.grab();
            QTRY_COMPARE(silent->receivedCalls().size(), 1);
        }
        auto services =
            startServices({QStringLiteral("--portal-file"), folder.filePath(QStringLiteral("s.png"))});
        QVERIFY(services);
        grabber.grab();
        QTRY_COMPARE(finished.count(), 1);
        checkScaledDesktop(shotsOf(finished), screenSize);
        QCOMPARE(
            services->receivedCalls().at(0).value("args").toArray().at(1).toObject().value("handle_token"),
            QJsonValue("u2"));
    }

    void portalRefusalsStartNoCapture_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("logged");
        const QString failed = QStringLiteral("[ScreenGrabberLinWayland] Failed to take screenshot");
        QTest::newRow("cancelled") << QStringList{QStringLiteral("--portal-response"), QStringLiteral("1")}
                                   << failed;
        QTest::newRow("other failure")
            << QStringList{QStringLiteral("--portal-response"), QStringLiteral("2")} << failed;
        QTest::newRow("no uri") << QStringList{QStringLiteral("--portal-no-uri")} << failed;
        QTest::newRow("error reply") << QStringList{QStringLiteral("--portal-error")}
                                     << QStringLiteral("[ScreenGrabberLinWayland] Error: No screenshot");
    }

    void portalRefusalsStartNoCapture()
    {
        QFETCH(QStringList, script);
        QFETCH(QString, logged);
        auto services = startServices(script << QStringLiteral("--portal-file") << folder.filePath("r.png"));
        QVERIFY(services);
        ScreenGrabberLinWayland grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        grabber.grab();
        QTRY_VERIFY(loggedMessages().contains(logged));
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 0);
    }

    void portalUriBecomesALocalPath_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "file:///tmp/a.png"
                               << "/tmp/a.png";
        QTest::newRow("space and accent") << "file:///home/u/Pictures/Screenshot%20from%20%C3%A9t%C3%A9.png"
                                          << QString::fromUtf8("/home/u/Pictures/Screenshot from été.png");
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
