// The built program, started as a user's session starts it, against the fake of the service that its real
// host names lead to, watched from outside: the windows it maps, the balloon, the URL it asks the desktop
// to open, the requests the service receives, the clipboard as another program reads it, the screen, its
// exit codes and the library file it leaves. Each test function is one step of a user's first day, in
// order; a step after a broken one skips, so the first failure names the step that broke.

#include "DesktopClient.h"
#include "E2eHarness.h"

#include "core/identity.h"
#include "library/QeltsContainer.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>

using namespace zq::test;
using e2e::SeenWindow;

// A check whose failure names the step under way.
#define STEP_VERIFY(condition, message) QVERIFY2(condition, (message).constData())

namespace {

constexpr int kStepMs = kWaitMs;
const QString kTitle = QStringLiteral("Zorvane Qelting Tool");
// What the fake recognises in every upload: taller than a line of text, so that the view page must give
// the rendered result its whole height.
const QString kLatex = QStringLiteral("\\frac{x^{2}+1}{\\sqrt{2}}");

// The known picture the user captures from: squares of 16 pixels in black and white, over bands of colour,
// so that a region shifted or scaled by a pixel or two no longer matches.
QImage knownPicture()
{
    QImage picture(640, 240, QImage::Format_RGB32);
    QPainter painter(&picture);
    const QColor bands[] = {QColor(220, 40, 40), QColor(40, 160, 60), QColor(40, 60, 200),
                            QColor(230, 200, 40)};
    for (int band = 0; band < 4; ++band)
        painter.fillRect(band * 160, 0, 160, 240, bands[band]);
    for (int y = 0; y < 240; y += 16)
        for (int x = 0; x < 640; x += 16)
            if ((x / 16 + y / 16) % 3 == 0)
                painter.fillRect(x, y, 16, 16, (x / 16) % 2 ? Qt::black : Qt::white);
    return picture;
}

// The mean difference of two pictures of one size, over the three channels.
double meanDifference(const QImage& a, const QImage& b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    qint64 sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width(); ++x) {
            const QRgb p = left.pixel(x, y), q = right.pixel(x, y);
            sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    }
    return double(sum) / (3.0 * left.width() * left.height());
}

// The colour of the plain picture the fake serves at this image path (its rendered images).
QRgb fakeImageColour(const QString& path)
{
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Md5);
    return qRgb(quint8(hash[0]), quint8(hash[1]), quint8(hash[2]));
}

// A square of `side` pixels of exactly this colour somewhere in the image.
bool holdsSquareOf(const QImage& image, QRgb colour, int side)
{
    for (int y = 0; y + side <= image.height(); y += side / 2) {
        for (int x = 0; x + side <= image.width(); x += side / 2) {
            bool all = true;
            for (int dy = 0; dy < side && all; ++dy)
                for (int dx = 0; dx < side && all; ++dx)
                    all = (image.pixel(x + dx, y + dy) & 0xffffff) == (colour & 0xffffff);
            if (all)
                return true;
        }
    }
    return false;
}

QByteArray decoded(const QJsonValue& base64)
{
    return QByteArray::fromBase64(base64.toString().toLatin1());
}

QString tail(const QString& path, int lines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QStringList all = QString::fromLocal8Bit(file.readAll()).split('\n');
    return all.mid(qMax(0, all.size() - lines)).join('\n');
}

// Files under the run's HOME whose name matches.
QStringList filesNamed(const QString& pattern)
{
    QStringList found;
    QDirIterator it(QDir::homePath(), {pattern}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    found.sort();
    return found;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void step1_secondStartExitsWithOneAndTheFirstShowsItsBalloon();
    void step2_signsInThroughTheBrowser();
    void step3_hotkeyCaptureUploadsTheDraggedRegion();
    void step4_viewPageShowsTheQeltAndItsLatexIsCopied();
    void step5_offlineRestartShowsTheQeltFromTheCache();
    void step6_quitFromTheTrayMenuLeavesTheLibraryWhole();

private:
    // The step under way says its name in every failure.
    QByteArray says(const QString& what) const { return (m_stepName + ": " + what).toUtf8(); }
    bool waitFor(const std::function<bool()>& condition, int ms = kStepMs)
    {
        return QTest::qWaitFor(condition, ms);
    }

    void startProgram();
    QVector<SeenWindow> programWindows() const { return m_desktop->windowsOf(m_program->processId()); }
    std::optional<SeenWindow> windowWhere(const std::function<bool(const SeenWindow&)>& match) const;
    std::optional<SeenWindow> trayIcon() const
    {
        return windowWhere([](const SeenWindow& w) { return !w.topLevel; });
    }
    std::optional<SeenWindow> titled(const QString& suffix) const
    {
        return windowWhere([&](const SeenWindow& w) { return w.topLevel && w.name == kTitle + suffix; });
    }
    // The balloons bear the program's name too: the sign-in window is the dialog of that title.
    std::optional<SeenWindow> signInWindow() const
    {
        return windowWhere(
            [](const SeenWindow& w) { return w.topLevel && w.name == kTitle && w.isType("DIALOG"); });
    }
    // A program window that the desktop's keyboard goes to once it has been shown.
    bool typeInto(const SeenWindow& window, const QStringList& keys);
    // "" when the clipboard offers nothing under the format.
    QByteArray clipboard(const QString& format) const;
    // The tray icon's menu, its last entry: "Quit". Empty when it went so; else what failed.
    QString quitFromTrayMenu();

    std::unique_ptr<e2e::DesktopClient> m_desktop;
    std::unique_ptr<QProcess> m_program;
    std::unique_ptr<QWidget> m_pictureWindow;
    QString m_stepName;
    int m_stepsDone = 0;
    QRect m_dragged;
    QStringList m_renderedPaths;
};

void TestEndToEnd::initTestCase()
{
    if (!e2e::skipReason().isEmpty())
        QSKIP(qPrintable(e2e::skipReason()));
    qInfo("Harness came up in %s ms", qgetenv("ZQ_E2E_STARTUP_MS").constData());
    m_desktop = std::make_unique<e2e::DesktopClient>();
    QVERIFY2(m_desktop->isOpen(), "no X display to watch");
    QVERIFY2(QFileInfo(QStringLiteral(ZQ_PROGRAM)).isExecutable(), ZQ_PROGRAM " is not built");

    // The picture lies on the desktop, left of where the program's first windows appear.
    m_pictureWindow = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint |
                                                             Qt::X11BypassWindowManagerHint);
    m_pictureWindow->setGeometry(60, 560, 640, 240);
    auto* label = new QLabel(m_pictureWindow.get());
    label->setPixmap(QPixmap::fromImage(knownPicture()));
    label->setGeometry(0, 0, 640, 240);
    m_pictureWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pictureWindow.get()));
}

void TestEndToEnd::init()
{
    const QString function = QString::fromLatin1(QTest::currentTestFunction());
    const int step = function.midRef(4, 1).toInt();
    m_stepName = QStringLiteral("step %1 (%2)").arg(step).arg(function.section('_', 1));
    if (m_stepsDone != step - 1)
        QSKIP(qPrintable(QStringLiteral("step %1 did not complete").arg(m_stepsDone + 1)));
}

void TestEndToEnd::cleanup()
{
    if (!QTest::currentTestFailed())
        return;
    const QStringList logs = filesNamed(QStringLiteral("zorvane-*.log"));
    if (!logs.isEmpty())
        qWarning().noquote() << "The program's log ends:\n" << tail(logs.last(), 40);
    if (m_program)
        qWarning().noquote() << "Its output ends:\n"
                             << QString::fromLocal8Bit(m_program->readAll().right(3000));
    const QString screen = qEnvironmentVariable("ZQ_E2E_DIR") + "/screen-at-failure.png";
    if (m_desktop->grab(QGuiApplication::primaryScreen()->geometry()).save(screen))
        qWarning().noquote() << "The screen is in" << screen << "(kept with ZQ_E2E_KEEP=1)";
    qWarning().noquote() << "Its windows:";
    if (m_program)
        for (const SeenWindow& w : programWindows())
            qWarning().noquote() << " " << w.name << w.types << w.rect << (w.topLevel ? "" : "embedded");
}

void TestEndToEnd::cleanupTestCase()
{
    if (m_program && m_program->state() != QProcess::NotRunning) {
        m_program->kill();
        m_program->waitForFinished(kStepMs);
    }
}

void TestEndToEnd::startProgram()
{
    m_program = std::make_unique<QProcess>();
    m_program->setProcessChannelMode(QProcess::MergedChannels);
    m_program->start(QStringLiteral(ZQ_PROGRAM), QStringList());
}

std::optional<SeenWindow> TestEndToEnd::windowWhere(const std::function<bool(const SeenWindow&)>& match) const
{
    for (const SeenWindow& window : programWindows())
        if (match(window))
            return window;
    return std::nullopt;
}

bool TestEndToEnd::typeInto(const SeenWindow& window, const QStringList& keys)
{
    if (!m_desktop->focus(window.id))
        return false;
    m_desktop->pressKeys(keys);
    return true;
}

QByteArray TestEndToEnd::clipboard(const QString& format) const
{
    QProcess reader;
    reader.start(QStringLiteral(ZQ_CLIPBOARD_READER), {format});
    if (!reader.waitForFinished(kStepMs) || reader.exitCode() != 0)
        return QByteArray();
    return reader.readAllStandardOutput();
}

QString TestEndToEnd::quitFromTrayMenu()
{
    std::optional<SeenWindow> icon;
    if (!waitFor([&] { return bool(icon = trayIcon()); }))
        return QStringLiteral("no tray icon of the program in the tray host");
    m_desktop->click(icon->rect.center(), 3);
    std::optional<SeenWindow> menu;
    if (!waitFor([&] { return bool(menu = windowWhere([](auto& w) { return w.isType("POPUP_MENU"); })); }))
        return QStringLiteral("a right click on the tray icon opened no menu");
    // The last entry of the menu; its height is that of any one entry, more than 20 pixels.
    m_desktop->click(QPoint(menu->rect.center().x(), menu->rect.bottom() - 10), 1);
    if (!m_program->waitForFinished(kStepMs))
        return QStringLiteral("the menu's last entry did not end the program");
    if (m_program->exitStatus() != QProcess::NormalExit || m_program->exitCode() != 0)
        return QStringLiteral("the program ended with status %1, code %2")
            .arg(int(m_program->exitStatus()))
            .arg(m_program->exitCode());
    return QString();
}

// 1. The first start puts its icon into the tray; a second start tells it and exits with 1; the first
// shows a balloon for it: a new tooltip window of its own.
void TestEndToEnd::step1_secondStartExitsWithOneAndTheFirstShowsItsBalloon()
{
    startProgram();
    STEP_VERIFY(m_program->waitForStarted(kStepMs), says("the program did not start"));
    STEP_VERIFY(waitFor([&] { return bool(trayIcon()); }),
                says("no icon of the program came into the tray host"));
    // Signed out, the first start opens the sign-in window.
    STEP_VERIFY(waitFor([&] { return bool(signInWindow()); }), says("no sign-in window came up"));
    // The start balloon, which a new user gets, comes first: it is no answer to the second start.
    STEP_VERIFY(waitFor([&] { return bool(windowWhere([](auto& w) { return w.isType("TOOLTIP"); })); }),
                says("the first start showed no balloon"));
    QList<unsigned long> balloonsBefore;
    for (const SeenWindow& w : programWindows())
        if (w.isType("TOOLTIP"))
            balloonsBefore << w.id;

    QProcess second;
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QStringLiteral(ZQ_PROGRAM), QStringList());
    STEP_VERIFY(second.waitForFinished(kStepMs), says("the second start did not end"));
    STEP_VERIFY(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 1,
                says(QStringLiteral("the second start ended with code %1: %2")
                         .arg(second.exitCode())
                         .arg(QString::fromLocal8Bit(second.readAll()))));
    STEP_VERIFY(waitFor([&] {
                    return bool(windowWhere([&](auto& w) {
                        return w.isType("TOOLTIP") && !balloonsBefore.contains(w.id) &&
                               w.wmClass.contains(kTitle);
                    }));
                }),
                says("the first program showed no balloon for the second start"));
    STEP_VERIFY(m_program->state() == QProcess::Running, says("the first program ended"));
    m_stepsDone = 1;
}

// 2. The sign-in window's button hands the accounts page to the desktop's browser; the test is the
// browser: it loads the page, the user signs in there, and the program takes its account.
void TestEndToEnd::step2_signsInThroughTheBrowser()
{
    const auto dialog = signInWindow();
    STEP_VERIFY(dialog, says("the sign-in window is gone"));
    // The window's default button: "Sign up with browser" on a first start.
    STEP_VERIFY(typeInto(*dialog, {"Return"}), says("the sign-in window could not take the keyboard"));
    QString page;
    STEP_VERIFY(
        waitFor([&] {
            for (const QString& url : e2e::openedUrls())
                if (url.startsWith("https://accounts.zorvane.com/") && url.contains("login_uuid="))
                    page = url;
            return !page.isEmpty();
        }),
        says("the desktop was asked to open no accounts page; it opened: " + e2e::openedUrls().join(", ")));

    QNetworkAccessManager browser;
    std::unique_ptr<QNetworkReply> visit(browser.get(QNetworkRequest(QUrl(page))));
    STEP_VERIFY(waitFor([&] { return visit->isFinished(); }), says("the accounts page did not load"));
    STEP_VERIFY(visit->error() == QNetworkReply::NoError, says("the accounts page: " + visit->errorString()));

    STEP_VERIFY(waitFor([&] { return !signInWindow(); }), says("the sign-in window did not close"));
    // Signed in, the program asks for its Qelts with the account's token.
    STEP_VERIFY(waitFor([&] {
                    for (const QJsonObject& request : e2e::recordedRequests()) {
                        const QJsonObject headers = request.value("headers").toObject();
                        if (request.value("path").toString() == "/v1/qelts" &&
                            headers.value("authorization").toString() == "Bearer " + e2e::kToken)
                            return true;
                    }
                    return false;
                }),
                says("the program did not ask for the account's Qelts with its token"));
    m_stepsDone = 2;
}

// 3. The capture hotkey, pressed on the keyboard, covers the screen; a drag over the known picture uploads
// that region, as a JPEG part "file" and the recognition options as "options_json".
void TestEndToEnd::step3_hotkeyCaptureUploadsTheDraggedRegion()
{
    const int uploadsBefore = e2e::recordedRequests("POST", "/v1/qelts-multipart").size();
    m_desktop->pressKeys({"Control_L", "Alt_L", "m"});
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // The overlay leaves the screen's last column and row free, as it was made to.
    const QRect overlay = screen.adjusted(0, 0, -1, -1);
    STEP_VERIFY(waitFor([&] { return bool(windowWhere([&](auto& w) { return w.rect == overlay; })); }),
                says("the hotkey brought no capture overlay over the screen"));

    const QPoint origin = m_pictureWindow->geometry().topLeft();
    m_dragged = QRect(origin + QPoint(120, 40), QSize(400, 160));
    // Both corners pressed on are inside the region.
    m_desktop->drag(m_dragged.topLeft(), m_dragged.bottomRight());

    QVector<QJsonObject> uploads;
    STEP_VERIFY(waitFor([&] {
                    uploads = e2e::recordedRequests("POST", "/v1/qelts-multipart");
                    return uploads.size() > uploadsBefore;
                }),
                says("no upload reached the service"));
    STEP_VERIFY(uploads.size() == uploadsBefore + 1, says("one drag uploaded more than once"));
    const QJsonObject upload = uploads.last();
    QCOMPARE(upload.value("host").toString(), QStringLiteral("api.zorvane.com"));
    QCOMPARE(upload.value("headers").toObject().value("authorization").toString(), "Bearer " + e2e::kToken);
    const QJsonArray parts = upload.value("parts").toArray();
    STEP_VERIFY(parts.size() == 2, says(QStringLiteral("the upload has %1 parts").arg(parts.size())));

    const QJsonObject file = parts.at(0).toObject();
    QCOMPARE(file.value("name").toString(), QStringLiteral("file"));
    QCOMPARE(file.value("filename").toString(), QStringLiteral("image.jpg"));
    QCOMPARE(file.value("content_type").toString(), QStringLiteral("image/jpeg"));
    const QByteArray jpeg = decoded(file.value("data_base64"));
    STEP_VERIFY(jpeg.startsWith("\xff\xd8\xff"), says("the file part is no JPEG"));
    const QImage sent = QImage::fromData(jpeg, "JPEG");
    STEP_VERIFY(sent.size() == m_dragged.size(),
                says(QStringLiteral("the region sent is %1x%2, the drag was %3x%4")
                         .arg(sent.width())
                         .arg(sent.height())
                         .arg(m_dragged.width())
                         .arg(m_dragged.height())));
    const double difference = meanDifference(sent, knownPicture().copy(m_dragged.translated(-origin)));
    STEP_VERIFY(difference < 12, says(QStringLiteral("the region sent differs from the picture dragged over "
                                                     "by %1 per channel")
                                          .arg(difference)));

    const QJsonObject json = parts.at(1).toObject();
    QCOMPARE(json.value("name").toString(), QStringLiteral("options_json"));
    QCOMPARE(json.value("filename").toString(), QString());
    QCOMPARE(json.value("content_type").toString(), QString());
    QJsonParseError error;
    const QJsonObject options = QJsonDocument::fromJson(decoded(json.value("data_base64")), &error).object();
    STEP_VERIFY(error.error == QJsonParseError::NoError, says("options_json is not JSON"));
    // A new user's first capture, with the default formats.
    QJsonObject metadata = options.value("metadata").toObject();
    const QString userId = metadata.take("user_id").toString();
    STEP_VERIFY(QRegularExpression("^[0-9a-f]{32}$").match(userId).hasMatch(), says("user_id: " + userId));
    const QJsonObject expectedConfig{
        {"math_inline_delimiters", QJsonArray{"$", "$"}},
        {"math_display_delimiters", QJsonArray{"\n$$\n", "\n$$\n"}},
        {"idiomatic_eqn_arrays", true},
        {"rm_fonts", false},
        {"ocr_version", 2},
        {"zmd_version", "1.2.17"},
        {"include_diagrams", true},
    };
    const QJsonObject expectedMetadata{
        {"count", 0},
        {"platform", QSysInfo::productType() + ' ' + QSysInfo::productVersion()},
        {"skip_recrop", true},
        {"input_type", "crop"},
        {"version", "qelt.ubuntu@" + utils::kAppVersion},
    }; // no "email": nothing here stores the saved address it would come from
    STEP_VERIFY(
        options.value("config").toObject() == expectedConfig,
        says("config: " + QJsonDocument(options.value("config").toObject()).toJson(QJsonDocument::Compact)));
    STEP_VERIFY(metadata == expectedMetadata,
                says("metadata: " + QJsonDocument(metadata).toJson(QJsonDocument::Compact)));
    QCOMPARE(options.keys(), QStringList({"config", "metadata"}));
    m_stepsDone = 3;
}

// 4. The Qelt comes up on the view page, which copies a form of it; the arrow keys take the LaTeX row,
// which another program then reads from the clipboard.
void TestEndToEnd::step4_viewPageShowsTheQeltAndItsLatexIsCopied()
{
    std::optional<SeenWindow> view;
    STEP_VERIFY(waitFor([&] { return bool(view = titled(" - Qelt View")); }),
                says("the main window did not come up on the view page"));
    // Shown, the page copies the row the user last took; a new user's is the MS Word form of the formula.
    QByteArray word;
    STEP_VERIFY(
        waitFor([&] { return (word = clipboard("text/plain")).contains("/Math/MathML"); }),
        says("the page copied nothing on showing the Qelt; the clipboard holds: " + QString::fromUtf8(word)));
    // The screenshot of the README: the page as it shows a new Qelt, before the keys start a render.
    const QString screenshot = qEnvironmentVariable("ZQ_E2E_SCREENSHOT");
    if (!screenshot.isEmpty()) {
        view = titled(" - Qelt View");
        QVERIFY(view);
        // Without the balloons that may still lie over it.
        STEP_VERIFY(waitFor([&] {
                        return !windowWhere(
                            [&](auto& w) { return w.isType("TOOLTIP") && w.rect.intersects(view->rect); });
                    }),
                    says("a balloon stays over the main window"));
        STEP_VERIFY(m_desktop->grab(view->rect).save(screenshot, "PNG"), says("cannot write " + screenshot));
    }
    // The arrow key walks the rows, copying each: the render's picture, then the LaTeX.
    STEP_VERIFY(typeInto(*view, {"Down"}), says("the main window could not take the keyboard"));
    m_desktop->pressKeys({"Down"});
    QByteArray copied;
    STEP_VERIFY(waitFor([&] { return (copied = clipboard("text/plain")) == kLatex.toUtf8(); }),
                says("another program reads from the clipboard: \"" + QString::fromUtf8(copied) + '"'));

    for (const QJsonObject& request : e2e::recordedRequests())
        if (request.value("path").toString().startsWith("/images/") &&
            !request.value("path").toString().endsWith("/original.png"))
            m_renderedPaths << request.value("path").toString();
    // Kept by the program before it is quit: its image folder holds the fake's render, a plain colour.
    STEP_VERIFY(waitFor([&] {
                    for (const QString& file : filesNamed(QStringLiteral("*.png"))) {
                        const QImage image(file);
                        for (const QString& path : m_renderedPaths)
                            if (!image.isNull() &&
                                image.pixel(image.rect().center()) == fakeImageColour(path))
                                return true;
                    }
                    return false;
                }),
                says("the Qelt's render did not reach the program's image folder"));
    m_stepsDone = 4;
}

// 5. Quit and started again with no way to the service, the program shows the Qelt in its gallery from
// the images it keeps: the fake's render of it, a plain colour, is on the screen.
void TestEndToEnd::step5_offlineRestartShowsTheQeltFromTheCache()
{
    const QString quit = quitFromTrayMenu();
    STEP_VERIFY(quit.isEmpty(), says("quitting the online program: " + quit));
    STEP_VERIFY(!m_renderedPaths.isEmpty(), says("the program fetched no rendered image while online"));

    STEP_VERIFY(QProcess::execute("ip", {"link", "set", qEnvironmentVariable("ZQ_E2E_NETWORK_IF"), "down"}) ==
                    0,
                says("the network interface did not go down"));
    ::kill(pid_t(qEnvironmentVariableIntValue("ZQ_E2E_FAKE_PID")), SIGTERM);
    STEP_VERIFY(waitFor([] {
                    QTcpSocket probe;
                    probe.connectToHost(QHostAddress::LocalHost, 443);
                    return !probe.waitForConnected(kStepMs) &&
                           probe.error() == QAbstractSocket::ConnectionRefusedError;
                }),
                says("the service still answers"));

    startProgram();
    STEP_VERIFY(m_program->waitForStarted(kStepMs), says("the program did not start again"));
    STEP_VERIFY(waitFor([&] { return bool(trayIcon()); }), says("no tray icon after the restart"));
    m_desktop->pressKeys({"Control_L", "Alt_L", "o"});
    std::optional<SeenWindow> gallery;
    STEP_VERIFY(waitFor([&] { return bool(gallery = titled(" - Qelts Gallery")); }),
                says("the open-window hotkey brought up no gallery"));
    STEP_VERIFY(waitFor([&] {
                    gallery = titled(" - Qelts Gallery");
                    if (!gallery)
                        return false;
                    const QImage seen = m_desktop->grab(gallery->rect);
                    for (const QString& path : m_renderedPaths)
                        if (holdsSquareOf(seen, fakeImageColour(path), 16))
                            return true;
                    return false;
                }),
                says("the gallery does not show the Qelt's rendered image"));
    STEP_VERIFY(!signInWindow(), says("the restart asked to sign in again"));
    m_stepsDone = 5;
}

// 6. The tray menu's Quit ends the program with 0; the library file it leaves loads with the program's own
// reader and holds the Qelt.
void TestEndToEnd::step6_quitFromTheTrayMenuLeavesTheLibraryWhole()
{
    const QString quit = quitFromTrayMenu();
    STEP_VERIFY(quit.isEmpty(), says(quit));
    const QStringList libraries = filesNamed(QStringLiteral("qelts-*.dat"));
    STEP_VERIFY(libraries.size() == 1, says("library files: " + libraries.join(", ")));
    QeltsContainer library(nullptr);
    STEP_VERIFY(library.load(libraries.first()),
                says("the library file does not load: " + libraries.first()));
    STEP_VERIFY(library.count() == 1,
                says(QStringLiteral("the library holds %1 Qelts").arg(library.count())));
    QCOMPARE(library.first()->latex, kLatex);
    m_stepsDone = 6;
}

int main(int argc, char* argv[])
{
    if (const auto status = e2e::runInsideHarness(argc, argv, {"--upload-latex", kLatex}))
        return *status;
    if (!e2e::skipReason().isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Names of its own: the test must not share the program's settings.
    QCoreApplication::setApplicationName(QStringLiteral("zq-end-to-end"));
    TestEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_end_to_end.moc"
