// The application as the user meets it, on an X server of this test's own with a real tray host (trayer),
// against the fake service, account and browser sign-in over loopback: the first start signed out, the
// sign-in through the browser, the tray's menus and messages, the capture road from the hotkey (typed by
// another X client) to the library, picked files and failed uploads, the windows of the menus, the update
// offer and the ways out of the account. The functions run in order on the one application.
#include "api/APIHandler.h"
#include "app/Application.h"
#include "app/OnDemandWindows.h"
#include "app/RateLimitDialog.h"
#include "app/SingleInstance.h"
#include "app/flows/RecognitionUpload.h"
#include "app/flows/UsageReporter.h"
#include "app/startup.h"
#include "capture/ScreenGrabber.h"
#include "capture/ScreenShooterDialog.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/ui/FileDialog.h"
#include "core/userState.h"
#include "core/x11/ShortcutsEventFilter.h"
#include "support/BoxWatcher.h"
#include "support/FakeAccount.h"
#include "support/FakeLogins.h"
#include "support/PrivateDisplay.h"
#include "support/SilentService.h"
#include "support/TestMain.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QLocalSocket>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTemporaryDir>

// Last: it brings Xlib, whose macros clash with Qt's names.
#include "AppHarness.h"

using namespace zq::test;
using Command = Tray::Command;
Q_DECLARE_METATYPE(QList<Tray::Command>)
Q_DECLARE_METATYPE(zq::test::Reply)

namespace {

const QString kUser = QStringLiteral("ada@example.org");
const QString kToken = QStringLiteral("t0ken");
const char kVersion[] = "09.99.9999";

} // namespace

class TestAppFace : public QObject
{
    Q_OBJECT

    std::unique_ptr<TrayHost> m_host;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;
    std::unique_ptr<FakeLogins> m_logins;
    std::unique_ptr<FakeBrowser> m_browser;
    std::unique_ptr<Typist> m_typist;
    QTemporaryDir m_folder;
    QJsonObject m_manifest;
    int m_created = 0;

    QVector<RecordedRequest> uploads() const { return m_service->requestsTo("/v1/qelts-multipart"); }
    QStringList events(const QString& name) const
    {
        QStringList found;
        for (const RecordedRequest& request : m_service->requestsTo("/v1/events"))
            if (request.json().value("name") == name)
                found << QString::fromUtf8(request.body);
        return found;
    }
    QString entryText(QAction* action) const { return action ? action->text() : QString("(none)"); }

    // The sign-in window's first button, then the account page's sign-in in the browser.
    void signInThroughTheWindow()
    {
        QTRY_VERIFY(app().windows().login());
        LoginDialog* dialog = app().windows().login();
        dialog->flow()->setPollInterval(10);
        const int before = m_logins->processes().size();
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            if (button->isVisible() &&
                (button->objectName() == "but_log_in" || button->objectName() == "but_create_account"))
                button->click();
        QTRY_COMPARE(m_logins->processes().size(), before + 1);
        m_logins->signIn(m_logins->processes().last(), kUser, kToken);
        QTRY_VERIFY(app().IsLoggedIn());
        QTRY_VERIFY(!app().windows().login());
    }

    // The tray's entries as the user reads them: the first, the log-out entry (empty when hidden), whether
    // "Open App Window" can be picked.
    QStringList trayState() const
    {
        Tray& tray = app().tray();
        return {tray.getLatexAction()->text(),
                tray.logoutAction()->isVisible() ? tray.logoutAction()->text() : "",
                tray.openWindowAction()->isEnabled() ? "open" : "closed"};
    }

    // The capture hotkey (or the tray menu's entry, clicked), a drag over (200,150)-(1000,450) on the
    // overlay: the region that was sent.
    QPixmap captureByHotkey(bool fromMenu = false)
    {
        QSignalSpy ready(&app().screenShooter(), &ScreenShooter::screenshotReady);
        if (fromMenu) {
            QMenu* menu = app().tray().menu();
            const QRect entry = menu->actionGeometry(app().tray().getLatexAction());
            const QPoint at = menu->mapToGlobal(entry.center());
            m_typist->drag(at, at);
        } else {
            m_typist->hotkey();
        }
        [] { QTRY_VERIFY(overlaysShown()); }();
        m_typist->drag({200, 150}, {1000, 450});
        [&] { QTRY_COMPARE(ready.count(), 1); }();
        return ready.value(0).value(0).value<QPixmap>();
    }

private slots:
    void initTestCase()
    {
        m_host = std::make_unique<TrayHost>();
        QTRY_VERIFY(QSystemTrayIcon::isSystemTrayAvailable());
        m_typist = std::make_unique<Typist>();
        m_service = std::make_unique<FakeService>();
        m_account = std::make_unique<FakeAccount>(*m_service);
        m_logins = std::make_unique<FakeLogins>(*m_service);
        m_browser = std::make_unique<FakeBrowser>();
        for (const char* path : {"/v1/logs", "/v1/events", "/v1/user/feedback"})
            m_service->on("POST", path, Reply::json(QJsonObject()));
        m_service->on("GET", "/v1/user/settings", Reply::json(QJsonObject{{"improve_ocr", true}}));
        m_service->on("POST", "/v1/qelts-multipart", [this](const RecordedRequest&) {
            return Reply::json(
                m_account->add(QString("cap%1").arg(++m_created), "x^2").json(m_service->baseUrl()));
        });
        m_service->on("GET", "/lin_app/version.json",
                      [this](const RecordedRequest&) { return Reply::json(m_manifest); });
        QFile program("/bin/true");
        QVERIFY(program.open(QIODevice::ReadOnly));
        m_service->on("GET", "/download/app", Reply::raw(program.readAll()));
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        qputenv("APPIMAGE", QFile::encodeName(m_folder.filePath("Zorvane.AppImage")));
        QFile appImage(m_folder.filePath("Zorvane.AppImage"));
        QVERIFY(appImage.open(QIODevice::WriteOnly) && appImage.write("old program") > 0);

        Application::Intervals intervals;
        intervals.themeCheckMs = 5;
        intervals.update.firstCheckMs = intervals.update.checkMs = 3600000;
        app().setIntervals(intervals);
        app().usage().setEventResendInterval(20);
        app().usage().setFeedbackRetryInterval(10);
        app().recognition().setRetryInterval(10);
        QVERIFY(app().CheckSingleInstance());
        app().Init();
    }

    void cleanup()
    {
        closeBalloon();
        QTRY_VERIFY(!overlaysShown());
    }

    void firstStartIsSignedOutOnTheSignUpPage()
    {
        QVERIFY(!app().IsLoggedIn());
        QVERIFY(app().tray().icon() && app().tray().icon()->isVisible());
        QTRY_COMPARE(balloonTexts(), (QStringList{"Zorvane Qelting Tool", "The application was started.\n"}));
        // It points at the icon in the tray host (top right), not at the corner where the icon was made.
        QTRY_VERIFY(app().tray().iconPlaced());
        const QPoint icon = app().tray().icon()->geometry().center();
        const QWidget* tip = balloon();
        QVERIFY(tip);
        QVERIFY2(tip->geometry().left() <= icon.x() && icon.x() <= tip->geometry().right(),
                 qPrintable(QString("balloon at %1, icon at %2").arg(tip->x()).arg(icon.x())));
        QCOMPARE(trayState(), (QStringList{"Login   CTRL+ALT+M", "", "closed"}));
        // Every hotkey is held from the start, not only once the settings window has been saved.
        for (const KeySym key : {XK_m, XK_o, XK_k, XK_n})
            QVERIFY2(!m_typist->hotkeyFree(key), XKeysymToString(key));
        QVERIFY(app().windows().login());
        QCOMPARE(app()
                     .windows()
                     .login()
                     ->findChild<QStackedWidget*>("stackedWidget")
                     ->currentWidget()
                     ->objectName(),
                 QString("page_signup"));
        // Asking for a capture signed out brings the same sign-in window forward; nothing is grabbed.
        QSignalSpy pressed(app().hotkeyFilter(), &ShortcutsEventFilter::LatexActivated);
        m_typist->hotkey();
        QTRY_COMPARE(pressed.count(), 1);
        app().UploadQelt();
        QCOMPARE(windowsOf<LoginDialog>().size(), 1);
        QVERIFY(app().screenShooter().overlays().isEmpty());
        QVERIFY(events("install").isEmpty()); // no account yet to send it with
    }

    void signInThroughTheBrowserStartsTheAccount()
    {
        signInThroughTheWindow();
        QCOMPARE(utils::authInfo(), qMakePair(kUser, kToken));
        QCOMPARE(trayState(), (QStringList{"Get LaTeX   CTRL+ALT+M", "Logout of " + kUser, "open"}));
        // The install event waited for the account; both events carry the built-in version.
        QTRY_COMPARE(events("install").size(), 1);
        QTRY_COMPARE(events("initial_login").size(), 1);
        const QJsonObject login = QJsonDocument::fromJson(events("initial_login").first().toUtf8()).object();
        QCOMPARE(login["metadata"].toObject()["user_email"].toString(), kUser);
        QCOMPARE(login["version"].toString(), utils::kAppVersion);
        QVERIFY(!events("install").first().contains("metadata"));
        QTRY_VERIFY(!m_service->requestsTo("/v1/user/settings").isEmpty());
        QCOMPARE(m_service->requestsTo("/v1/user/settings").last().header("authorization"),
                 "Bearer " + kToken.toUtf8());
    }

    void hotkeyTextOnlyWhileTheHotkeyIsHeld_data()
    {
        QTest::addColumn<bool>("heldElsewhere");
        QTest::newRow("turned off") << false;
        QTest::newRow("held by another program") << true;
    }
    void hotkeyTextOnlyWhileTheHotkeyIsHeld()
    {
        QFETCH(bool, heldElsewhere);
        const QString text = "Get LaTeX";
        kKeyEnableShortcutLatex.set(false);
        app().UpdateShortcutsGetLatexAndLogOut();
        QCOMPARE(app().tray().getLatexAction()->text(), text);
        kKeyEnableShortcutLatex.set(true);
        if (heldElsewhere) {
            m_typist->holdHotkey(true);
            app().UpdateShortcutsGetLatexAndLogOut();
            QCOMPARE(app().tray().getLatexAction()->text(), text);
            m_typist->holdHotkey(false);
        }
        app().UpdateShortcutsGetLatexAndLogOut();
        QCOMPARE(app().tray().getLatexAction()->text(), text + "   CTRL+ALT+M");
    }

    void captureTravelsFromTheHotkeyToTheLibrary_data()
    {
        QTest::addColumn<int>("inlineStyle");
        QTest::addColumn<int>("displayStyle");
        QTest::addColumn<QJsonValue>("delimiters"); // inline, then display
        // What of ours is over the region when the capture is asked for: nothing, or the tray menu whose
        // entry starts the capture.
        QTest::addColumn<QString>("over");
        const QJsonValue dollars(QJsonArray{"$", "$", "\n$$\n", "\n$$\n"});
        QTest::newRow("dollars") << 0 << 0 << dollars << "";
        QTest::newRow("brackets") << 1 << 1 << QJsonValue(QJsonArray{"\\(", "\\)", "\n\\[\n", "\n\\]\n"})
                                  << "";
        QTest::newRow("equation*") << 0 << 2
                                   << QJsonValue(QJsonArray{"$", "$", "\n\\begin{equation*}\n",
                                                            "\n\\end{equation*}\n"})
                                   << "";
        QTest::newRow("align*") << 1 << 3
                                << QJsonValue(
                                       QJsonArray{"\\(", "\\)", "\n\\begin{align*}\n", "\n\\end{align*}\n"})
                                << "";
        QTest::newRow("the tray menu open over the region") << 0 << 0 << dollars << "menu";
    }
    void captureTravelsFromTheHotkeyToTheLibrary()
    {
        QFETCH(int, inlineStyle);
        QFETCH(int, displayStyle);
        QFETCH(QJsonValue, delimiters);
        QFETCH(QString, over);
        utils::ResultFormat format;
        format.inlineStyle = inlineStyle;
        format.blockStyle = displayStyle;
        utils::setResultFormat(format);
        // A red window under the region: what is sent is the screen, not the greyed overlay.
        QWidget target;
        target.setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        target.setStyleSheet("background: #ff0000");
        target.setGeometry(100, 100, 1000, 500);
        target.show();
        QVERIFY(QTest::qWaitForWindowExposed(&target, kWaitMs));
        // The menu leaves the screen before the screen is frozen.
        FreezeWatch freeze;
        if (over == "menu") {
            app().tray().menu()->popup(QPoint(500, 250));
            QVERIFY(QTest::qWaitForWindowExposed(app().tray().menu(), kWaitMs));
            freeze.watchLeaving(app().tray().menu());
        }
        const int before = uploads().size();
        const qint64 libraryBefore = app().library().count();
        QSignalSpy shown(&app().recognition(), &RecognitionUpload::showQelt);

        const QPixmap region = captureByHotkey(over == "menu");
        QVERIFY(region.width() >= 800 && region.height() >= 300);
        QTRY_COMPARE(uploads().size(), before + 1);
        const QVector<RecordedPart> parts = uploads().last().parts;
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].name + "|" + parts[0].fileName + "|" + parts[0].contentType,
                 QByteArray("file|image.jpg|image/jpeg"));
        const QImage jpeg = QImage::fromData(parts[0].data, "JPG");
        QCOMPARE(jpeg.size(), region.size());
        const QColor middle = jpeg.pixelColor(jpeg.rect().center());
        QVERIFY2(middle.red() > 200 && middle.green() < 60 && middle.blue() < 60, qPrintable(middle.name()));
        QCOMPARE(parts[1].name, QByteArray("options_json"));
        const QJsonObject options = QJsonDocument::fromJson(parts[1].data).object();
        const QJsonObject config = options["config"].toObject();
        QJsonArray sent = config["math_inline_delimiters"].toArray();
        for (const QJsonValue& delimiter : config["math_display_delimiters"].toArray())
            sent.append(delimiter);
        QCOMPARE(QJsonValue(sent), delimiters);
        QCOMPARE(options["metadata"]["version"].toString(), QString("qelt.ubuntu@") + kVersion);
        QCOMPARE(uploads().last().header("authorization"), "Bearer " + kToken.toUtf8());

        QTRY_COMPARE(app().library().count(), libraryBefore + 1);
        const QString id = QString("cap%1").arg(m_created);
        QVERIFY(app().library().qeltById(id));
        QTRY_COMPARE(shown.count(), 1);
        QCOMPARE(shown.first().first().value<ZorvaneQeltPtr>()->id, id);
        if (over == "menu")
            QVERIFY2(freeze.frozenAfterTheDelay(), qPrintable(freeze.describe()));
    }

    // One press is one capture: the server's repeats of a held hotkey, and a second request while the
    // first waits for the menu to leave the screen, grab nothing more.
    void onePressIsOneCapture_data()
    {
        QTest::addColumn<bool>("held");
        QTest::newRow("hotkey held") << true;
        QTest::newRow("menu entry picked twice") << false;
    }
    void onePressIsOneCapture()
    {
        QFETCH(bool, held);
        auto* grabber = app().screenShooter().findChild<ScreenGrabber*>();
        QVERIFY(grabber);
        QSignalSpy grabs(grabber, &ScreenGrabber::finished);
        QSignalSpy ready(&app().screenShooter(), &ScreenShooter::screenshotReady);
        const int before = uploads().size();
        if (held) {
            KeyWatcher keys;
            const QList<KeySym> hotkey{XK_Control_L, XK_Alt_L, XK_m};
            m_typist->press(hotkey);
            QTRY_VERIFY(overlaysShown());
            QTRY_VERIFY(keys.presses >= 4);
            m_typist->release(hotkey);
        } else {
            app().tray().getLatexAction()->trigger();
            app().tray().getLatexAction()->trigger();
            QTRY_VERIFY(overlaysShown());
        }
        m_typist->drag({200, 150}, {1000, 450});
        QTRY_COMPARE(uploads().size(), before + 1);
        QCOMPARE(grabs.count(), 1);
        QCOMPARE(ready.count(), 1);
        QVERIFY(!ready.first().first().value<QPixmap>().isNull());
    }

    void cancelledCaptureSendsNothing()
    {
        QSignalSpy ready(&app().screenShooter(), &ScreenShooter::screenshotReady);
        m_typist->hotkey();
        QTRY_VERIFY(overlaysShown());
        m_typist->type({XK_Escape});
        QTRY_COMPARE(ready.count(), 1);
        QVERIFY(ready.first().first().value<QPixmap>().isNull());
        QCOMPARE(app().recognition().pendingUploads(), 0);
    }

    void pickedFilesAreUploaded_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("uploaded");
        QTest::addColumn<int>("opened");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("one image, opened") << QStringList{"a.png"} << 1 << 1 << QStringList();
        QTest::newRow("several, none opened") << QStringList{"a.png", "b.jpg"} << 2 << 0 << QStringList();
        QTest::newRow("mixed") << QStringList{"a.png", "notes.txt", "b.jpg"} << 2 << 0
                               << QStringList{"Unable to read some of the selected files as images"};
        QTest::newRow("none readable") << QStringList{"notes.txt", "broken.png"} << 0 << 0
                                       << QStringList{"Unable to read selected file(s) as image(s)"};
        QTest::newRow("none picked") << QStringList() << 0 << 0 << QStringList();
    }
    void pickedFilesAreUploaded()
    {
        QFETCH(QStringList, files);
        QFETCH(int, uploaded);
        QFETCH(int, opened);
        QFETCH(QStringList, boxes);
        QTemporaryDir folder;
        QImage image(60, 20, QImage::Format_RGB32);
        image.fill(Qt::white);
        QVERIFY(image.save(folder.filePath("a.png")) && image.save(folder.filePath("b.jpg")));
        for (const char* name : {"notes.txt", "broken.png"}) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not an image") > 0);
        }
        QStringList paths;
        for (const QString& name : files)
            paths << folder.filePath(name);
        const int before = uploads().size();
        QSignalSpy shown(&app().recognition(), &RecognitionUpload::showQelt);
        BoxWatcher watcher;
        FileDialog::setNextFileNames(paths);
        app().UploadQelt();
        QTRY_COMPARE(uploads().size(), before + uploaded);
        QTRY_COMPARE(app().recognition().pendingUploads(), 0);
        QCOMPARE(shown.count(), opened);
        QCOMPARE(watcher.texts(), boxes);
        if (!files.isEmpty())
            QCOMPARE(kKeyLastOpenedFolder.get(), folder.path());
    }

    void imageFilterListsImagesOnARealDialog()
    {
        QTemporaryDir folder;
        for (const char* name : {"a.png", "b.jpg", "c.jpeg", "d.txt", "e.pdf"})
            QFile(folder.filePath(name)).open(QIODevice::WriteOnly);
        QFileDialog dialog(nullptr, "Upload Qelt", folder.path(), kImageFileFilter);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.show();
        auto* view = dialog.findChild<QAbstractItemView*>("listView");
        QVERIFY(view);
        QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 3);
    }

    void failedUploadsReachTheUser_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<int>("attempts");
        QTest::addColumn<QString>("balloon");
        QTest::addColumn<QString>("limit"); // the rate-limit form's text
        QTest::addColumn<bool>("added");
        FakeQelt blurred;
        blurred.id = "blurred";
        blurred.createdAt = blurred.modifiedAt = QDateTime::currentDateTimeUtc();
        QJsonObject withErrors = blurred.json(m_service->baseUrl());
        withErrors["errors"] = QJsonArray{QJsonObject{{"id", "low_confidence"}, {"message", "Blurry."}}};
        const QJsonObject limit{{"errors", QJsonArray{QJsonObject{{"id", "too_many_requests_day"},
                                                                  {"message", "Come back tomorrow."}}}}};
        QTest::newRow("reset every time")
            << Reply::json(QJsonObject{{"id", "x"}}).closedAfter(2) << 4
            << "Something went wrong, please try again or contact support@zorvane.com."
            << "" << false;
        QTest::newRow("rate limit: the form, no retry") << Reply::json(limit, 429) << 1 << ""
                                                        << "Come back tomorrow." << false;
        QTest::newRow("service errors beside a Qelt") << Reply::json(withErrors) << 1 << "Blurry.\n"
                                                      << "" << true;
    }
    void failedUploadsReachTheUser()
    {
        QFETCH(Reply, reply);
        QFETCH(int, attempts);
        QFETCH(QString, balloon);
        QFETCH(QString, limit);
        QFETCH(bool, added);
        for (int i = 0; i < attempts; ++i)
            m_service->enqueue("POST", "/v1/qelts-multipart", reply);
        const int before = uploads().size();
        BoxWatcher boxes;
        app().RecognizeImage(QPixmap::fromImage(QImage(40, 20, QImage::Format_RGB32)), true);
        QTRY_COMPARE(app().recognition().pendingUploads(), 0);
        QCOMPARE(uploads().size(), before + attempts);
        if (!balloon.isEmpty())
            QTRY_COMPARE(balloonText(), balloon);
        QVERIFY(boxes.texts().isEmpty()); // with a tray, never a modal box
        const QList<RateLimitDialog*> forms = windowsOf<RateLimitDialog>();
        QCOMPARE(forms.size(), limit.isEmpty() ? 0 : 1);
        if (!forms.isEmpty()) {
            QVERIFY(balloonText().isEmpty());
            QCOMPARE(forms.first()->findChild<QLabel*>("error_text")->text(), limit);
            QVERIFY(!forms.first()->parentWidget());
            // Its contact link opens the feedback window.
            emit forms.first()->findChild<QLabel*>("contact_us")->linkActivated("#");
            QVERIFY(app().windows().feedback());
            app().windows().feedback()->close();
            forms.first()->close();
        }
        QCOMPARE(app().library().qeltById("blurred") != nullptr, added);
    }

    void trayEntriesOpenTheirWindows_data()
    {
        QTest::addColumn<int>("entry"); // among the tray menu's actions
        QTest::addColumn<QString>("opens");
        QTest::newRow("user guide") << 3 << "/docs/qelt/linux-overview";
        QTest::newRow("my account") << 4 << "/";
        QTest::newRow("tutorial") << 5 << "TutorialDialog";
        QTest::newRow("settings") << 6 << "SettingsDialog";
        QTest::newRow("feedback") << 7 << "FeedbackDialog";
    }
    void trayEntriesOpenTheirWindows()
    {
        QFETCH(int, entry);
        QFETCH(QString, opens);
        QAction* action = app().tray().menu()->actions().at(entry);
        const int pages = m_browser->opened().size();
        action->trigger();
        action->trigger();
        if (opens.startsWith('/')) {
            QCOMPARE(m_browser->opened().size(), pages + 2);
            QCOMPARE(m_browser->opened().last().path(), opens);
            return;
        }
        QList<QWidget*> open;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && widget->inherits(qPrintable(opens)))
                open << widget;
        QCOMPARE(open.size(), 1);
        QVERIFY(!app().IsIdle());
        if (auto* settings = qobject_cast<SettingsDialog*>(open.first()))
            QCOMPARE(settings->findChild<QTabWidget*>("tabWidget")->currentIndex(), 0);
        open.first()->close();
        QTRY_VERIFY(app().IsIdle());
    }

    void settingsWindowHoldsTheHotkeysWhileOpen()
    {
        app().ShowSettings(SettingsDialog::FormattingTab);
        QTRY_VERIFY(app().windows().settings());
        SettingsDialog* settings = app().windows().settings();
        QCOMPARE(settings->findChild<QTabWidget*>("tabWidget")->currentIndex(), 1);
        app().ShowSettings(0);
        QCOMPARE(app().windows().settings(), settings);
        // Passed on to the window's recorder: once it went through the filters, it started nothing.
        KeyWatcher keys;
        QSignalSpy pressed(app().hotkeyFilter(), &ShortcutsEventFilter::LatexActivated);
        m_typist->hotkey();
        QTRY_VERIFY(keys.presses > 0);
        QCOMPARE(pressed.count(), 0);
        settings->reject();
        QTRY_VERIFY(!app().windows().settings());
        m_typist->hotkey();
        QTRY_VERIFY(overlaysShown());
        m_typist->type({XK_Escape});
    }

    void aboutShowsTheBuiltInVersion()
    {
        QString version;
        bool idle = true;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            QWidget* about = QApplication::activeModalWidget();
            version = about->findChild<QLabel*>("lb_version")->text();
            idle = app().IsIdle();
            about->close();
        });
        app().tray().menu()->actions().at(9)->trigger();
        QCOMPARE(version, utils::kAppVersion);
        QVERIFY(!idle);
        QVERIFY(app().IsIdle());
    }

    void feedbackTellsHowItWent_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<int>("sends");
        QTest::addColumn<QString>("balloon");
        QTest::newRow("sent") << Reply::json(QJsonObject()) << 1 << "Feedback has been sent";
        QTest::newRow("failing every time") << Reply::text(500) << 4 << "Failed to send feedback";
    }
    void feedbackTellsHowItWent()
    {
        QFETCH(Reply, reply);
        QFETCH(int, sends);
        QFETCH(QString, balloon);
        m_service->on("POST", "/v1/user/feedback", reply);
        const int before = m_service->requestsTo("/v1/user/feedback").size();
        app().SendFeedbackClicked();
        QVERIFY(app().windows().feedback());
        emit app().windows().feedback()->SendFeedback("Works well.", "");
        QTRY_COMPARE(balloonText(), balloon);
        QCOMPARE(m_service->requestsTo("/v1/user/feedback").size(), before + sends);
        app().windows().feedback()->close();
    }

    void signingOutLeavesNothingOfTheAccount_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("refused token") << "forbidden";
        QTest::newRow("tray entry") << "tray";
        QTest::newRow("context menu") << "context";
    }
    void signingOutLeavesNothingOfTheAccount()
    {
        QFETCH(QString, way);
        if (!app().IsLoggedIn())
            signInThroughTheWindow();
        QTRY_VERIFY(app().library().count() > 0);
        kKeyUserName.set("ada");
        if (way == "forbidden") {
            m_account->failNext(AccountCall::List, 1, 401);
            app().library().onSyncTimer();
        } else if (way == "tray") {
            app().tray().logoutAction()->trigger();
        } else {
            QTimer::singleShot(0, this, [] {
                QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                for (QAction* action : menu->actions())
                    if (action->text() == "&Log out " + kUser)
                        action->trigger();
                menu->close();
            });
            app().ShowContextMenu(QPoint(50, 50));
        }
        QTRY_VERIFY(!app().IsLoggedIn());
        QCOMPARE(utils::authInfo(), qMakePair(QString(), QString()));
        QVERIFY(!kKeyUserName.contains());
        QCOMPARE(app().library().count(), 0);
        QCOMPARE(trayState(), (QStringList{"Login   CTRL+ALT+M", "", "closed"}));
        // Back on the sign-in window, now on its login page; once per machine stays once.
        QVERIFY(app().windows().login());
        QCOMPARE(app()
                     .windows()
                     .login()
                     ->findChild<QStackedWidget*>("stackedWidget")
                     ->currentWidget()
                     ->objectName(),
                 QString("page_login"));
        signInThroughTheWindow();
        QCOMPARE(events("initial_login").size(), 1);
    }

    // The account may go while an image is on its way in: the service refused the token while the overlay
    // or the file dialog was up, or the pad's Qelt came back after the sign-out.
    void nothingArrivesForAnAccountSignedOutMeanwhile_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("captured region") << "capture";
        QTest::newRow("picked file") << "file";
        QTest::newRow("drawn Qelt") << "drawn";
    }
    void nothingArrivesForAnAccountSignedOutMeanwhile()
    {
        QFETCH(QString, way);
        if (!app().IsLoggedIn())
            signInThroughTheWindow();
        const int before = uploads().size();
        QSignalSpy shown(&app().recognition(), &RecognitionUpload::showQelt);
        if (way == "capture") {
            app().LogOut();
            QPixmap region(80, 30);
            region.fill(Qt::red);
            emit app().screenShooter().screenshotReady(region);
        } else if (way == "file") {
            const QString file = m_folder.filePath("late.png");
            QVERIFY(QImage(80, 30, QImage::Format_RGB32).save(file));
            QTimer::singleShot(0, this, [file] {
                QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                app().LogOut();
                dialog->selectFile(file);
                static_cast<QDialog*>(dialog)->accept();
            });
            app().UploadQelt();
        } else {
            app().LogOut();
            auto qelt = std::make_shared<ZorvaneQelt>();
            qelt->id = "drawn";
            app().QeltRecognizedHandler(qelt);
        }
        QVERIFY(!app().IsLoggedIn());
        QCOMPARE(app().recognition().pendingUploads(), 0);
        QCOMPARE(app().library().count(), 0);
        QCOMPARE(shown.count(), 0);
        QCOMPARE(uploads().size(), before);
        QVERIFY(app().windows().login());
        signInThroughTheWindow();
    }

    void laterStartShowsTheRunningOnesBalloon()
    {
        QLocalSocket knock;
        knock.connectToServer(SingleInstance::userServerPath());
        QVERIFY(knock.waitForConnected(kWaitMs));
        knock.write("0");
        knock.flush();
        QTRY_COMPARE(balloonText(), QString("Zorvane Qelting Tool is running"));
    }

    // The tray on its own: the icon theme, the messages with and without an icon, the context menu.
    void iconFollowsTheTheme_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::addColumn<QString>("icon");
        const QString plain = ":/logo/logo (32x32).svg";
        QTest::newRow("high contrast") << "HighContrast" << plain;
        QTest::newRow("dark") << "ubuntu-mono-dark"
                              << ":/logo/logo-white (32x32).svg";
        QTest::newRow("light") << "ubuntu-mono-light"
                               << ":/logo/logo-black (32x32).svg";
        QTest::newRow("none") << "" << plain;
        QTest::newRow("another theme") << "Adwaita" << plain;
        QTest::newRow("a longer name") << "ubuntu-mono-dark-2" << plain;
    }
    void iconFollowsTheTheme()
    {
        QFETCH(QString, theme);
        QFETCH(QString, icon);
        QIcon::setThemeName(icon.contains("black") ? "HighContrast" : "ubuntu-mono-light");
        QTRY_VERIFY(picture(app().tray().icon()->icon()) != picture(QIcon(icon)));
        // Switched at run time, without telling.
        QIcon::setThemeName(theme);
        QTRY_COMPARE(picture(app().tray().icon()->icon()), picture(QIcon(icon)));
    }

    void messagesWithAndWithoutAnIcon_data()
    {
        QTest::addColumn<bool>("icon");
        QTest::addColumn<bool>("error");
        QTest::addColumn<bool>("balloonShown");
        QTest::addColumn<bool>("boxShown");
        QTest::newRow("error with an icon: a balloon, never a box") << true << true << true << false;
        QTest::newRow("notice with an icon") << true << false << true << false;
        QTest::newRow("error without an icon: a warning box") << false << true << false << true;
        QTest::newRow("notice without an icon: nothing") << false << false << false << false;
    }
    void messagesWithAndWithoutAnIcon()
    {
        QFETCH(bool, icon);
        QFETCH(bool, error);
        QFETCH(bool, balloonShown);
        QFETCH(bool, boxShown);
        Tray tray;
        if (icon)
            tray.showIcon();
        BoxWatcher boxes;
        const QString text = "Something happened.\nTwice.";
        if (error)
            tray.showError(text);
        else
            tray.showNotice(text);
        if (balloonShown)
            QTRY_COMPARE(balloonTexts(), (QStringList{"Zorvane Qelting Tool", text}));
        else
            QVERIFY(!balloon());
        QCOMPARE(boxes.texts(), boxShown ? QStringList{text} : QStringList());
        QCOMPARE(boxes.icons(),
                 boxShown ? QList<QMessageBox::Icon>{QMessageBox::Warning} : QList<QMessageBox::Icon>());
    }

    void contextMenuFollowsTheUpdater_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("entries"); // after "&About"
        QTest::newRow("idle") << "idle" << QStringList{"&Check for Updates...", "&Log out x", "&Quit"};
        QTest::newRow("a check of the user runs")
            << "running" << QStringList{"&Check for Updates... (Running) (off)", "&Log out x", "&Quit"};
        QTest::newRow("an update offered") << "offered" << QStringList{"&Log out x", "&Quit", "&Update now"};
    }
    void contextMenuFollowsTheUpdater()
    {
        QFETCH(QString, state);
        Tray tray;
        QList<Command> commands;
        connect(&tray, &Tray::commanded, this, [&](Command command) { commands << command; });
        if (state == "running")
            tray.updateCheckStarted();
        if (state == "offered")
            tray.offerUpdate("Update now", "New version");
        QStringList shown;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            for (QAction* action : menu->actions())
                if (!action->isSeparator())
                    shown << action->text() + (action->isEnabled() ? "" : " (off)");
            menu->actions().last()->trigger();
            menu->close();
        });
        tray.execContextMenu(QPoint(100, 100), "x");
        QCOMPARE(shown.mid(0, 6), (QStringList{"&Settings", "&Send Feedback", "&User Guide", "&My Account",
                                               "&Tutorial", "&About"}));
        QTEST(QStringList(shown.mid(6)), "entries");
        QCOMPARE(commands, QList<Command>{state == "offered" ? Command::UpdateNow : Command::Quit});
    }

    // Last: the update ends with the silent restart's exit, after which no event loop of the test runs.
    void userCheckOffersTheUpdateWhichItsBalloonRuns()
    {
        // A site that takes the check and never answers: the check ends after its limit like a failed one.
        SilentService silent;
        silent.stall([] { app().tray().checkUpdatesAction()->trigger(); });
        QVERIFY(!app().tray().checkUpdatesAction()->isEnabled());
        QTRY_COMPARE(balloonText(), QString("Check for updates\nNetwork error"));
        QVERIFY(app().tray().checkUpdatesAction()->isEnabled());
        closeBalloon();

        m_manifest = QJsonObject{{"version", "00.00.0001"}, {"percent", 100}, {"url", ""}};
        app().tray().checkUpdatesAction()->trigger();
        QCOMPARE(app().tray().checkUpdatesAction()->text(), QString("Check for Updates... (Running)"));
        QVERIFY(!app().tray().checkUpdatesAction()->isEnabled());
        QTRY_COMPARE(balloonText(), QString("Check for updates\nAlready up-to-date"));
        QCOMPARE(app().tray().checkUpdatesAction()->text(), QString("Check for Updates..."));
        QVERIFY(app().tray().checkUpdatesAction()->isEnabled());

        m_manifest = QJsonObject{
            {"version", "99.00.0000"}, {"percent", 0}, {"url", m_service->baseUrl() + "/download/app"}};
        QSignalSpy completed(app().updateController(), &UpdateController::UpdateCompleted);
        app().tray().checkUpdatesAction()->trigger();
        QTRY_VERIFY(app().tray().updateNowAction());
        QVERIFY(!app().tray().checkUpdatesAction());
        QTRY_VERIFY(balloonText().startsWith("New version is available."));
        QFile appImage(qEnvironmentVariable("APPIMAGE"));
        QVERIFY(appImage.open(QIODevice::ReadOnly) && appImage.readAll() == "old program");
        appImage.close();
        QVERIFY(completed.isEmpty()); // the user asked: never installed behind their back

        // A run that fails takes the offer back: no second "Update now" for a download that is gone.
        QVERIFY(QFile::remove(app().updateController()->updateFilePath()));
        {
            BoxWatcher boxes;
            app().tray().updateNowAction()->trigger();
            QCOMPARE(boxes.texts().value(0).section('\n', 0, 0), QString("Update failed."));
        }
        QVERIFY(!app().tray().updateNowAction() && !app().tray().updateOffered());
        const QList<QAction*> entries = app().tray().menu()->actions();
        QCOMPARE(entries.indexOf(app().tray().checkUpdatesAction()) + 1,
                 entries.indexOf(app().tray().logoutAction()));
        app().tray().checkUpdatesAction()->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(app().tray().updateNowAction(), kWaitMs);
        QTRY_VERIFY(balloonText().startsWith("New version is available."));
        QTest::mouseClick(balloon(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTRY_COMPARE(completed.count(), 1);
        QVERIFY(appImage.open(QIODevice::ReadOnly) && appImage.read(4) == "\x7f"
                                                                          "ELF");
    }

    void quitEntryEndsTheEventLoopAndCleanupHidesTheIcon()
    {
        QSystemTrayIcon* icon = app().tray().icon();
        QCOMPARE(icon->contextMenu(), app().tray().menu());
        QTimer::singleShot(0, this, [] {
            for (QAction* action : app().tray().menu()->actions())
                if (action->text() == "Quit")
                    action->trigger();
        });
        QTimer::singleShot(20000, this, [] { app().exit(99); });
        QCOMPARE(app().exec(), 0);
        QVERIFY(icon->isVisible());
        app().Cleanup();
        QVERIFY(!icon->isVisible());
    }
};

int main(int argc, char* argv[])
{
    prepareEnvironment();
    // The single-instance socket of this run, apart from any other run's on the machine.
    qputenv("TMPDIR", QFile::encodeName(homePath()));
    startPrivateDisplay(QSize(1280, 800));
    startup::prepareProcess();
    // The program's own arguments: a version given on the command line.
    QByteArrayList arguments{argv[0], "-set_version", kVersion};
    QVector<char*> programArgv;
    for (QByteArray& argument : arguments)
        programArgv << argument.data();
    int programArgc = programArgv.size();
    Application::setMainWindowForTesting(false);
    Application application(programArgc, programArgv.data());
    prepareApplication();
    TestAppFace test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_app_face.moc"
