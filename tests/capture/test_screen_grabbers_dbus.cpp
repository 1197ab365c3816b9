#include "capture/ScreenGrabberLinGnomeWayland.h"
#include "capture/ScreenGrabberLinKdeWayland.h"
#include "capture/ScreenGrabberLinWayland.h"
#include "capture/pictureReading.h"
#include "support/FakeDesktopServices.h"
#include "support/PrivateSessionBus.h"
#include "support/TestMain.h"

#include <QBuffer>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>

#include <memory>

namespace {

// Only the criticals, which come from the GUI thread; the KWin reader warns from the pool's.
QStringList criticals;
QtMessageHandler previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtCriticalMsg)
        criticals.append(message);
    previousHandler(type, context, message);
}

int tokenNumber(const QString& call)
{
    return QRegularExpression(R"re("handle_token":"u(\d+)")re").match(call).captured(1).toInt();
}

} // namespace

class TestScreenGrabbersDBus : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    QString desktopFile;

    std::unique_ptr<zq::test::FakeDesktopServices> startServices(const QStringList& script)
    {
        return zq::test::FakeDesktopServices::screenshots(script + QStringList{"image=" + desktopFile});
    }

private slots:
    void initTestCase()
    {
        // The desktop is twice the screen's size: red left half, blue right half.
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        QImage desktop(screen * 2, QImage::Format_RGB32);
        desktop.fill(Qt::red);
        QPainter(&desktop).fillRect(screen.width(), 0, screen.width(), desktop.height(), Qt::blue);
        desktopFile = folder.filePath("desktop.png");
        QVERIFY(desktop.save(desktopFile));
        previousHandler = qInstallMessageHandler(recordMessage);
    }

    void init() { criticals.clear(); }

    void grabberAnswers_data()
    {
        QTest::addColumn<QString>("service"); // as ZVN_SCREEN_GRABBER names it
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("outcome"); // "desktop", "null", or the critical logged instead
        const QString portalFile = "portal-file=" + folder.filePath("q.png");
        const QString failed = "[ScreenGrabberLinWayland] Failed to take screenshot";
        const auto row = [](const char* name, const char* service, const QStringList& script,
                            const QString& outcome) {
            QTest::newRow(name) << QString(service) << script << outcome;
        };
        row("gnome, our file", "gnome-wayland", {}, "desktop");
        row("gnome, its own file", "gnome-wayland", {"gnome-used-name=" + folder.filePath("shell.png")},
            "desktop");
        row("gnome, refused", "gnome-wayland", {"gnome-error"},
            "[ScreenGrabberLinGnomeWayland] Invalid reply from DBus: Screenshot refused");
        row("kwin, paused chunks", "kde-wayland", {"kwin-chunk=3000", "kwin-pause-ms=5"}, "desktop");
        row("kwin, closed without data", "kde-wayland", {"kwin-empty"}, "null");
        row("kwin, silent after the first bytes", "kde-wayland", {"kwin-chunk=100", "kwin-pause-ms=600000"},
            "null");
        row("portal, escaped name", "wayland",
            {"portal-file=" + folder.filePath("Screenshot from 2026-12-06 21-00 é #1.png")}, "desktop");
        row("portal, answer before the reply", "wayland", {"portal-early", portalFile}, "desktop");
        row("portal, own request path", "wayland", {"portal-ignore-token", portalFile}, "desktop");
        row("portal, answer repeated", "wayland", {"portal-twice", portalFile}, "desktop");
        row("portal, cancelled", "wayland", {"portal-response=1", portalFile}, failed);
        row("portal, error reply", "wayland", {"portal-error"},
            "[ScreenGrabberLinWayland] Error: No screenshot");
    }

    void grabberAnswers()
    {
        QFETCH(QString, service);
        QFETCH(QStringList, script);
        QFETCH(QString, outcome);
        auto services = startServices(script);
        QVERIFY(services);
        qputenv("ZVN_SCREEN_GRABBER", service.toUtf8());
        std::unique_ptr<ScreenGrabber> grabber(createScreenGrabber(nullptr));
        // Cases that end without a picture need not wait the half minute a silent KWin is given.
        if (auto* kwin = qobject_cast<ScreenGrabberLinKdeWayland*>(grabber.get()); kwin && outcome == "null")
            kwin->setIdleTimeout(std::chrono::milliseconds(300));
        QSignalSpy finished(grabber.get(), &ScreenGrabber::finished);
        QSignalSpy failed(grabber.get(), &ScreenGrabber::failed);
        grabber->grab();
        if (outcome != "desktop" && outcome != "null") {
            QTRY_VERIFY(criticals.contains(outcome));
            // Said, so that the capture is over and the next one may start.
            QTRY_COMPARE(failed.count(), 1);
            QCoreApplication::processEvents();
            QCOMPARE(finished.count(), 0);
            return;
        }
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(failed.count(), 0);
        // A round trip: what the services sent before has come in when it returns.
        QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall("org.kde.KWin", "/", "org.freedesktop.DBus.Peer", "Ping"));
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 1);
        const auto shots = finished.at(0).at(0).value<QList<Screenshot>>();
        QCOMPARE(shots.size(), 1);
        QCOMPARE(shots.at(0).screen, QGuiApplication::primaryScreen());
        QCOMPARE(shots.at(0).geometry, QGuiApplication::primaryScreen()->geometry());
        const QImage image = shots.at(0).pixmap.toImage();
        const QSize size = shots.at(0).geometry.size();
        QCOMPARE(image.size(), outcome == "null" ? QSize(0, 0) : size);
        if (outcome == "null")
            return;
        // Shrunk to the screen: red on its left half, blue on its right.
        QCOMPARE(image.pixelColor(size.width() / 4, size.height() / 2), QColor(Qt::red));
        QCOMPARE(image.pixelColor(size.width() * 3 / 4, size.height() / 2), QColor(Qt::blue));

        const QMap<QString, QString> expected{
            {"gnome-wayland", R"re(\["gnome","Screenshot",false,false,"(/tmp/zorvane-\d+\.png)"\])re"},
            {"kde-wayland", R"(\["kwin","screenshotFullscreen",true,false\])"}, // a pipe, no cursor
            {"wayland",
             R"(\["portal","Screenshot","wayland:",\{"handle_token":"u\d+","interactive":false\}\])"}};
        const QStringList calls = services->calls();
        QCOMPARE(calls.size(), 1);
        const auto call = QRegularExpression('^' + expected.value(service) + '$').match(calls.at(0));
        QVERIFY2(call.hasMatch(), qPrintable(calls.at(0)));
        QVERIFY(!QFileInfo::exists(call.captured(1))); // our own file is litter once read
    }

    void pictureOfAnAbsurdSizeIsRefusedUnread_data()
    {
        QTest::addColumn<QByteArray>("data");
        QByteArray wide;
        QBuffer file(&wide);
        QImage line(40000, 1, QImage::Format_Grayscale8);
        line.fill(0);
        QVERIFY(file.open(QIODevice::WriteOnly) && line.save(&file, "png"));
        QTest::newRow("one side too long") << wide;
        QTest::newRow("too many pixels") << QByteArray("P6 30000 30000 255\n");
    }

    void pictureOfAnAbsurdSizeIsRefusedUnread()
    {
        // No pixel memory is taken for a size that no desktop has.
        QFETCH(QByteArray, data);
        QBuffer file(&data);
        file.open(QIODevice::ReadOnly);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[ScreenGrabber\\] Refusing a picture of"));
        QVERIFY(utils::capture::readPicture(&file).isNull());
    }

    void portalTokensAreCountedOncePerProcess()
    {
        // A portal refuses a token already used on the connection, whichever grabber used it; one that it
        // never answered holds up no later request.
        auto services = startServices({"portal-silent", "portal-file=" + folder.filePath("s.png")});
        QVERIFY(services);
        ScreenGrabberLinWayland first(nullptr), second(nullptr);
        for (ScreenGrabber* grabber : {&first, &second, &first})
            grabber->grab();
        QTRY_COMPARE(services->calls().size(), 3);
        const int issued = tokenNumber(services->calls().at(0)); // counted once in the process
        QCOMPARE(tokenNumber(services->calls().at(1)), issued + 1);
        QCOMPARE(tokenNumber(services->calls().at(2)), issued + 2);
    }

    void portalUriBecomesALocalPath_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("path"); // empty: refused
        const auto row = [](const char* name, const char* uri, const char* path) {
            QTest::newRow(name) << QString(uri) << QString(path);
        };
        row("escapes", "file:///tmp/Screenshot%20%C3%A9%231.png", "/tmp/Screenshot é#1.png");
        row("not a file", "https://example.org/a.png", "");
        row("relative", "file:tmp/a.png", "");
        row("resource", "file:://tmp/a.png", "");
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
