// The application with its main window, on an X server of this test's own without a tray host, against
// the fake service and account over loopback and the fake desktop portal on a session bus of its own: the
// main window opens at start as the only way in, a capture hides it and shows the recognised Qelt on its
// view page, a capture that gives no Qelt brings it back, the settings window moves over it, its signals
// reach the application, and signing out hides it. The functions run in order on the one application.
#include "api/APIHandler.h"
#include "app/Application.h"
#include "app/NavigateEventFilter.h"
#include "app/OnDemandWindows.h"
#include "app/RateLimitDialog.h"
#include "app/flows/RecognitionUpload.h"
#include "app/startup.h"
#include "authoring/pages/QeltCreateFrame.h"
#include "authoring/pages/TextEditPane.h"
#include "capture/ScreenGrabber.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/ui/MessageBox.h"
#include "core/userState.h"
#include "dialogs/FeedbackDialog.h"
#include "dialogs/SettingsDialog.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "library/gallery/QeltListFrame.h"
#include "support/BoxWatcher.h"
#include "support/FakeAccount.h"
#include "support/FakeDesktopServices.h"
#include "support/PrivateDisplay.h"
#include "support/PrivateSessionBus.h"
#include "support/ProcessTree.h"
#include "support/TestMain.h"
#include "view/bridge/WebViewWrapper.h"
#include "view/page/QeltViewFrame.h"
#include "view/rows/RowFormat.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

// Last: it brings Xlib, whose macros clash with Qt's names.
#include "AppHarness.h"

using namespace zq::test;
Q_DECLARE_METATYPE(zq::test::Reply)

class TestAppWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;
    std::unique_ptr<Typist> m_typist;
    std::unique_ptr<FakeDesktopServices> m_desktop;
    QTemporaryDir m_folder;
    int m_created = 0;

    // The portal answers as the script says, with a white desktop when it answers.
    bool serveDesktop(const QStringList& script = QStringList())
    {
        m_desktop.reset();
        m_desktop = FakeDesktopServices::screenshots(
            script + QStringList{"image=" + m_folder.filePath("desktop.png"),
                                 "portal-file=" + m_folder.filePath("shot.png")});
        return m_desktop != nullptr;
    }

    LatexResultDialog* window() const { return app().mainWindow(); }
    int uploads() const { return m_service->requestsTo("/v1/qelts-multipart").size(); }
    static int renderers() { return rendererCount(QCoreApplication::applicationPid()); }

private slots:
    void initTestCase()
    {
        m_typist = std::make_unique<Typist>();
        QImage desktop(1280, 800, QImage::Format_RGB32);
        desktop.fill(Qt::white);
        QVERIFY(desktop.save(m_folder.filePath("desktop.png")));
        QVERIFY(serveDesktop());
        m_service = std::make_unique<FakeService>();
        m_account = std::make_unique<FakeAccount>(*m_service);
        for (const char* path : {"/v1/logs", "/v1/events"})
            m_service->on("POST", path, Reply::json(QJsonObject()));
        m_service->on("GET", "/v1/user/settings", Reply::json(QJsonObject{{"improve_ocr", true}}));
        m_service->on("GET", "/v1/user", Reply::json(QJsonObject{{"username", "ada"}}));
        m_service->on("POST", "/v1/qelts-multipart", [this](const RecordedRequest&) {
            return Reply::json(
                m_account->add(QString("cap%1").arg(++m_created), "x^2").json(m_service->baseUrl()));
        });
        m_account->add("old", "y");
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        utils::setAuthInfo("ada@example.org", "t0ken");
        Application::Intervals intervals;
        intervals.trayHostCheckMs = 10;
        intervals.update.firstCheckMs = intervals.update.checkMs = 3600000;
        app().setIntervals(intervals);
        app().recognition().setRetryInterval(10);
        // A hidden window waits for its result however slow this machine is: the bound is not tested here.
        QeltViewFrame::SetResultViewWaitForTesting(kWaitMs);
        QVERIFY(app().CheckSingleInstance());
        app().Init();
    }

    void withoutATrayTheWindowIsTheWayIn()
    {
        QVERIFY(!kKeySystemTrayAvailable.get());
        QVERIFY(!app().tray().icon());
        QVERIFY(window());
        QTRY_VERIFY(window()->isOnScreen());
        QVERIFY(!app().IsIdle());
        // Its errors come in a box; the handwriting page's rate limit opens the form over it.
        BoxWatcher boxes;
        emit window()->ScanError("The drawing could not be read.");
        QCOMPARE(boxes.texts(), QStringList{"The drawing could not be read."});
        emit window()->RateLimitError("Wait a minute.");
        const QList<RateLimitDialog*> forms = windowsOf<RateLimitDialog>();
        QCOMPARE(forms.size(), 1);
        QCOMPARE(forms.first()->parentWidget(), window());
        forms.first()->close();
    }

    // The started program, its library loaded, has made no page for any of its editor views: the web
    // engine has not started, and no renderer runs.
    void startedProgramRunsNoEditorPage()
    {
        QTRY_VERIFY(app().library().count() > 0 && !app().library().isListing());
        QCOMPARE(webEngineProcessCount(QCoreApplication::applicationPid()), 0);
        const QList<QWebEngineView*> views = window()->findChildren<QWebEngineView*>();
        QCOMPARE(views.size(), 7);
        for (const QWebEngineView* view : views)
            QVERIFY2(!view->findChild<QWebEnginePage*>(), qPrintable(view->objectName()));
    }

    void captureHidesTheWindowAndShowsTheQeltOnItsViewPage()
    {
        QTRY_VERIFY(app().library().count() > 0);
        QVERIFY(window()->isOnScreen());
        // A capture goes to the library, whatever the gallery was searching.
        QLineEdit* search = window()->gallery()->findChild<QLineEdit*>("searchBox");
        QVERIFY(search);
        search->setText("y");
        app().controllerSwitch().setMode(1);
        // The result view's page loads behind the frozen screens, not ahead of the grab, whose start on
        // this thread it would hold up.
        const QWebEngineView* result = window()->viewPage()->findChild<QWebEngineView*>("web");
        bool pageAtGrab = true;
        QObject watchGrab;
        connect(app().screenShooter().findChild<ScreenGrabber*>(), &ScreenGrabber::finished, &watchGrab,
                [&] { pageAtGrab = result->findChild<QWebEnginePage*>() != nullptr; });
        m_typist->hotkey();
        QTRY_VERIFY(!window()->isOnScreen());
        QVERIFY(search->text().isEmpty());
        QCOMPARE(int(app().controllerSwitch().mode()), 0);
        // A result that arrives while its view's page still loads, as one right after the start does,
        // brings the window back once that page has loaded; the window comes up once, at the size the
        // result gives it.
        QeltViewFrame* page = window()->viewPage();
        bool loadingAtArrival = false;
        bool loadedWhenShown = false;
        QRect firstShown;
        int shows = 0;
        QObject watch;
        connect(&app().recognition(), &RecognitionUpload::showQelt, &watch,
                [&] { loadingAtArrival = page->IsResultViewLoading(); });
        connect(window(), &LatexResultDialog::Shown, &watch, [&] {
            if (shows++ > 0)
                return;
            loadedWhenShown = !page->IsResultViewLoading();
            firstShown = window()->geometry();
        });
        QTRY_VERIFY(overlaysShown());
        QVERIFY2(!pageAtGrab, "the result view's page began to load before the screens were grabbed");
        // The result view's page loads while the region is dragged and uploaded.
        QTRY_VERIFY(result->findChild<QWebEnginePage*>() &&
                    result->findChild<QWebEnginePage*>()->url() ==
                        QUrl("qrc:/html/zorvane_qelting_editor.html"));
        m_typist->drag({200, 150}, {700, 350});
        QTRY_COMPARE(uploads(), 1);
        QTRY_VERIFY(app().library().qeltById("cap1"));
        QTRY_VERIFY(window()->isOnScreen());
        QVERIFY2(!loadingAtArrival || loadedWhenShown, "the window came back before its page had loaded");
        QCOMPARE(window()->currentPage(), int(LatexResultDialog::ViewPage));
        QCOMPARE(window()->windowTitle(), QString("Zorvane Qelting Tool - Qelt View"));
        QTRY_COMPARE(window()->viewPage()->currentQeltId(), QString("cap1"));
        // The result view's page, which loaded as the capture began, renders it and reports its formats.
        const QWidget* dataRows = window()->viewPage()->findChild<QWidget*>("scrollAreaWidgetContents");
        QTRY_VERIFY(dataRows->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly).size() > 1);
        QCOMPARE(shows, 1);
        QCOMPARE(window()->geometry(), firstShown);
        // No other view loaded: the tabs that were current for a moment while the page filled cost nothing.
        for (const QWebEngineView* view : window()->findChildren<QWebEngineView*>()) {
            const QWebEnginePage* page = view->findChild<QWebEnginePage*>();
            QVERIFY2(view->objectName() == "web" || !page || page->url().isEmpty(),
                     qPrintable(view->objectName()));
        }
        QCOMPARE(renderers(), 1);
    }

    void navigationKeysMoveTheViewPage_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<bool>("fromFirst");
        QTest::newRow("next") << QByteArray("NextQelt") << true;
        QTest::newRow("previous") << QByteArray("PrevQelt") << false;
        QTest::newRow("first") << QByteArray("FirstQelt") << false;
        QTest::newRow("last") << QByteArray("LastQelt") << true;
    }
    void navigationKeysMoveTheViewPage()
    {
        QFETCH(QByteArray, key);
        QFETCH(bool, fromFirst);
        QeltsController& library = app().library();
        const ZorvaneQeltPtr from = fromFirst ? library.firstQelt() : library.lastQelt();
        window()->ShowQeltView(from);
        QTRY_COMPARE(window()->viewPage()->currentQeltId(), from->id);
        const ZorvaneQeltPtr expected = key == "NextQelt"    ? library.nextQelt(from)
                                        : key == "PrevQelt"  ? library.previousQelt(from)
                                        : key == "FirstQelt" ? library.firstQelt()
                                                             : library.lastQelt();
        QVERIFY(expected && expected->id != from->id);
        QVERIFY(QMetaObject::invokeMethod(app().navigateFilter(), key.constData()));
        QTRY_COMPARE(window()->viewPage()->currentQeltId(), expected->id);
    }

    void tabKeysWrapAroundTheResultTabs()
    {
        window()->ShowQeltView(app().library().firstQelt());
        auto* tabs = window()->viewPage()->findChild<QTabWidget*>("tab_scanResult");
        QVERIFY(tabs);
        QTRY_VERIFY(tabs->count() > 1);
        tabs->setCurrentIndex(tabs->count() - 1);
        QVERIFY(QMetaObject::invokeMethod(app().navigateFilter(), "NextTab"));
        QTRY_COMPARE(tabs->currentIndex(), 0);
        QVERIFY(QMetaObject::invokeMethod(app().navigateFilter(), "PrevTab"));
        QTRY_COMPARE(tabs->currentIndex(), tabs->count() - 1);
        // Away from the view page the keys leave it alone.
        window()->ShowGallery();
        QVERIFY(QMetaObject::invokeMethod(app().navigateFilter(), "NextTab"));
        QCOMPARE(tabs->currentIndex(), tabs->count() - 1);
    }

    void windowRequestsReachTheApplication()
    {
        // A Qelt made on an authoring page joins the library and is shown.
        const ZorvaneQeltPtr made =
            ZorvaneQelt::fromJson(m_account->add("drawn", "a+b").json(m_service->baseUrl()));
        QVERIFY(made);
        emit window()->QeltRecognized(made);
        QVERIFY(app().library().qeltById("drawn"));
        QTRY_COMPARE(window()->viewPage()->currentQeltId(), QString("drawn"));

        emit window()->PopupSettings(SettingsDialog::ImageExportTab);
        QVERIFY(app().windows().settings());
        QCOMPARE(app().windows().settings()->findChild<QTabWidget*>("tabWidget")->currentIndex(),
                 int(SettingsDialog::ImageExportTab));
        app().windows().settings()->reject();
        QTRY_VERIFY(!app().windows().settings());

        emit window()->SendFeedback();
        QVERIFY(app().windows().feedback());
        app().windows().feedback()->close();
        QTRY_VERIFY(!app().windows().feedback());
    }

    void restartsStoreTheFeedbackRecordFirst_data()
    {
        QTest::addColumn<bool>("afterUpdate");
        QTest::addColumn<int>("code");
        QTest::newRow("asked by the window") << false << 212;
        QTest::newRow("after an update") << true << 213;
    }
    void restartsStoreTheFeedbackRecordFirst()
    {
        QFETCH(bool, afterUpdate);
        QFETCH(int, code);
        // The page holds the record it read when it was built; the store has drifted since.
        const QMap<QString, FeedbackEntry> held = utils::feedbackList();
        utils::setFeedbackList({{"stray", FeedbackEntry{1, true}}});
        // The program's event loop, as Run starts it, ends with the code.
        QTimer::singleShot(0, this, [this, afterUpdate] {
            if (afterUpdate)
                emit app().updateController()->UpdateCompleted();
            else
                emit window()->RestartApp();
        });
        QCOMPARE(app().exec(), code);
        QCOMPARE(utils::feedbackList().keys(), held.keys());
    }

    void thumbsDownAsksForTheReasonInTheReportDialog()
    {
        window()->ShowQeltView(app().library().qeltById("drawn"));
        QTRY_COMPARE(window()->viewPage()->currentQeltId(), QString("drawn"));
        QStringList asked;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&asked] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                asked << dialog->metaObject()->className();
                dialog->reject();
            }
        });
        closer.start(20);
        window()->viewPage()->findChild<QPushButton*>("but_thumbs_down")->click();
        QTRY_VERIFY(asked.contains("ReportDialog"));
    }

    void removalAskedByTheWindowOrTheDeleteKeyReachesTheLibrary()
    {
        emit window()->WantRemoveQelt("old");
        QVERIFY(!app().library().qeltById("old"));
        QTRY_VERIFY(m_account->find("old")->deleted);
        // The delete key on the view page asks first.
        window()->ShowQeltView(app().library().qeltById("drawn"));
        QTRY_COMPARE(window()->viewPage()->currentQeltId(), QString("drawn"));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        QVERIFY(QMetaObject::invokeMethod(app().navigateFilter(), "DeleteQelt"));
        QVERIFY(!app().library().qeltById("drawn"));
        QTRY_VERIFY(m_account->find("drawn")->deleted);
    }

    void hotkeysOpenTheWindowAndItsEditors_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("page"); // -1: any
        QTest::addColumn<bool>("markdown");
        QTest::newRow("open the window") << int(XK_o) << -1 << false;
        QTest::newRow("LaTeX editor") << int(XK_k) << int(LatexResultDialog::CreatePage) << false;
        QTest::newRow("Markdown editor") << int(XK_n) << int(LatexResultDialog::CreatePage) << true;
    }
    void hotkeysOpenTheWindowAndItsEditors()
    {
        QFETCH(int, key);
        QFETCH(int, page);
        QFETCH(bool, markdown);
        window()->ShowGallery();
        window()->hide();
        m_typist->type({XK_Control_L, XK_Alt_L, KeySym(key)});
        QTRY_VERIFY(window()->isOnScreen());
        if (page >= 0) {
            QTRY_COMPARE(window()->currentPage(), page);
            QCOMPARE(window()->createPage()->isMarkdown(), markdown);
            // The preview's page loads as it shows, in the renderer of the view page's.
            QTRY_VERIFY(window()->createPage()->pane()->wrapper()->isLoaded());
            QCOMPARE(renderers(), 1);
        }
    }

    void otherScreensEmptyOverlaysLeaveTheWindowHidden()
    {
        // The Qelt comes late; until then the window stays away.
        m_service->enqueue(
            "POST", "/v1/qelts-multipart",
            Reply::json(m_account->add("late", "z").json(m_service->baseUrl())).withDelay(500));
        app().OpenAppWindow();
        QTRY_VERIFY(window()->isOnScreen());
        const int before = uploads();
        m_typist->hotkey();
        QTRY_VERIFY(overlaysShown());
        m_typist->drag({200, 150}, {700, 350});
        QTRY_VERIFY(app().recognition().pendingUploads() == 1);
        // Another screen's overlay answers the same release with nothing.
        emit app().screenShooter().screenshotReady(QPixmap());
        QTRY_COMPARE(uploads(), before + 1);
        QVERIFY(!window()->isOnScreen());
        QTRY_VERIFY(window()->isOnScreen());
        // The page may still be applying the previous Qelt: the late one waits for it.
        QTRY_COMPARE(window()->viewPage()->currentQeltId(), QString("late"));
    }

    // However a capture ends without a Qelt, the window it hid comes back where it was; a grab that never
    // answers ends after its limit, and the next press captures again.
    void captureWithoutAQeltBringsTheWindowBack_data()
    {
        QTest::addColumn<QStringList>("portal"); // the desktop portal's script for the capture
        QTest::addColumn<QString>("end");        // on the overlays: "escape", "drag"; "none": no overlay
        QTest::addColumn<Reply>("reply");        // the answer to every upload of the region
        QTest::addColumn<int>("uploads");
        QTest::addColumn<QString>("form"); // the rate-limit form's text
        const QJsonObject limit{{"errors", QJsonArray{QJsonObject{{"id", "too_many_requests_minute"},
                                                                  {"message", "Wait a minute."}}}}};
        QTest::newRow("cancelled") << QStringList() << "escape" << Reply() << 0 << "";
        QTest::newRow("rate limit") << QStringList() << "drag" << Reply::json(limit, 429) << 1
                                    << "Wait a minute.";
        QTest::newRow("500 on every attempt") << QStringList() << "drag" << Reply::text(500) << 4 << "";
        QTest::newRow("grab failed") << QStringList{"portal-error"} << "none" << Reply() << 0 << "";
        QTest::newRow("grab never answered") << QStringList{"portal-silent"} << "none" << Reply() << 0 << "";
    }
    void captureWithoutAQeltBringsTheWindowBack()
    {
        QFETCH(QStringList, portal);
        QFETCH(QString, end);
        QFETCH(Reply, reply);
        QFETCH(int, uploads);
        QFETCH(QString, form);
        app().OpenAppWindow();
        QTRY_VERIFY(window()->isOnScreen());
        const QPoint where = window()->pos();
        QVERIFY(serveDesktop(portal));
        if (portal.contains("portal-silent"))
            app().screenShooter().setGrabLimit(300);
        for (int i = 0; i < uploads; ++i)
            m_service->enqueue("POST", "/v1/qelts-multipart", reply);
        const int before = this->uploads();
        BoxWatcher boxes;
        // The window leaves the screen before the screens are frozen.
        FreezeWatch freeze;
        freeze.watchLeaving(window());
        m_typist->hotkey();
        QTRY_VERIFY(!window()->isOnScreen());
        if (end != "none") {
            QTRY_VERIFY(overlaysShown());
            if (end == "escape")
                m_typist->type({XK_Escape});
            else
                m_typist->drag({200, 150}, {700, 350});
        }
        QTRY_VERIFY(window()->isOnScreen());
        QCOMPARE(window()->pos(), where);
        QTRY_COMPARE(this->uploads(), before + uploads);
        QTRY_COMPARE(app().recognition().pendingUploads(), 0);
        if (uploads == 4)
            QTRY_COMPARE(boxes.texts().size(), 1);
        const QList<RateLimitDialog*> forms = windowsOf<RateLimitDialog>();
        QCOMPARE(forms.size(), form.isEmpty() ? 0 : 1);
        if (!forms.isEmpty()) {
            QCOMPARE(forms.first()->findChild<QLabel*>("error_text")->text(), form);
            QCOMPARE(forms.first()->parentWidget(), window()); // over the window that came back
            forms.first()->close();
        }
        QCOMPARE(m_desktop->calls().size(), 1);
        if (end != "none")
            QVERIFY2(freeze.frozenAfterTheDelay(), qPrintable(freeze.describe()));

        // The next press captures again, from a portal that answers.
        app().screenShooter().setGrabLimit(ScreenShooter::kGrabLimitMs);
        QVERIFY(serveDesktop());
        m_typist->hotkey();
        QTRY_VERIFY(overlaysShown());
        m_typist->type({XK_Escape});
        QTRY_VERIFY(window()->isOnScreen());
    }

    void settingsWindowMovesOverTheShownMainWindow()
    {
        window()->hide();
        app().ShowSettings(SettingsDialog::GeneralTab);
        QPointer<SettingsDialog> first = app().windows().settings();
        QVERIFY(first && !first->parentWidget());
        // An unsaved change of the formatting goes along.
        first->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(SettingsDialog::FormattingTab);
        QRadioButton* other = nullptr;
        for (QRadioButton* button : first->findChildren<QRadioButton*>())
            if (button->isVisible() && !button->isChecked() && !other)
                other = button;
        QVERIFY(other);
        other->click();
        const utils::ResultFormat edited = first->GetResultFormat();
        QVERIFY(edited != utils::resultFormat());
        QSignalSpy regrabbed(first.data(), &SettingsDialog::UpdateShortcutMarkdownEdit);

        app().OpenAppWindow();
        QTRY_VERIFY(window()->isOnScreen());
        app().ShowSettings(SettingsDialog::ImageExportTab);
        QCOMPARE(regrabbed.count(), 1);
        QTRY_VERIFY(!first);
        SettingsDialog* second = app().windows().settings();
        QCOMPARE(second->parentWidget(), window());
        QCOMPARE(second->findChild<QTabWidget*>("tabWidget")->currentIndex(),
                 int(SettingsDialog::ImageExportTab));
        QCOMPARE(second->GetResultFormat(), edited);
        // What it announces reaches the view page.
        QStringList blockLabels;
        for (int style : {0, 1}) {
            utils::ResultFormat announced = edited;
            announced.blockStyle = style;
            emit second->FormattingChanged(announced);
            blockLabels << window()->viewPage()->delimiterLabel(LatexBlock);
        }
        QVERIFY2(blockLabels.at(0) != blockLabels.at(1), qPrintable(blockLabels.join(' ')));
        second->reject();
        QTRY_VERIFY(!app().windows().settings());
    }

    void signingOutHidesTheWindowAndSigningInShowsIt_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::newRow("with a tray: closed, left to the tray") << true;
        QTest::newRow("without: hidden, back at the sign-in") << false;
    }
    void signingOutHidesTheWindowAndSigningInShowsIt()
    {
        QFETCH(bool, tray);
        app().OpenAppWindow();
        QTRY_VERIFY(window()->isOnScreen());
        kKeySystemTrayAvailable.set(tray);
        app().LogOut();
        QVERIFY(!window()->isOnScreen());
        QVERIFY(app().windows().login());
        app().windows().login()->close();
        app().OnLoggedIn("ada@example.org", "t0ken");
        kKeySystemTrayAvailable.set(false);
        QTRY_VERIFY(window()->isOnScreen() != tray);
        QTRY_COMPARE(kKeyUserName.get(), QString("ada"));
    }

    // A desktop starts its tray host after the programs that start with it: the icon goes there when
    // it comes, with the start balloon that waited for its place and for nothing else (no window of ours is
    // on the screen), and from then on the program lives in the tray.
    void trayHostStartedLaterTakesTheProgram()
    {
        QVERIFY(!app().tray().icon());
        window()->hide();
        QVERIFY(windowsOf<QWidget>().isEmpty());
        TrayHost host;
        QTRY_VERIFY(app().tray().icon() && app().tray().iconPlaced());
        QVERIFY(kKeySystemTrayAvailable.get()); // the sign-in window's closing no longer ends the program
        QVERIFY(!app().tray().isWatchingForHost());
        QTRY_COMPARE(balloonText(), QString("The application was started.\n"));
        closeBalloon();
        // The window's closing leaves the program to the tray; its errors come in balloons.
        app().OpenAppWindow();
        QTRY_VERIFY(window()->isOnScreen());
        window()->close();
        QTRY_VERIFY(!window()->isOnScreen());
        QVERIFY(!window()->isMinimized());
        BoxWatcher boxes;
        emit window()->ScanError("The drawing could not be read.");
        QTRY_COMPARE(balloonText(), QString("The drawing could not be read."));
        QVERIFY(boxes.texts().isEmpty());
        closeBalloon();
    }

    // Last: the end of the program, with a settings window open over the main window.
    void cleanupLetsEverythingGoInOrder()
    {
        app().OpenAppWindow();
        QTRY_VERIFY(window()->isOnScreen());
        app().ShowSettings(0);
        QPointer<SettingsDialog> settings = app().windows().settings();
        QCOMPARE(settings->parentWidget(), window());
        QVERIFY(!m_typist->hotkeyFree());
        app().Cleanup();
        QVERIFY(!app().mainWindow() && !settings);
        QVERIFY(!app().updateController());
        // A copy started by a restart takes the hotkeys while this process may still be ending.
        QVERIFY(m_typist->hotkeyFree());
    }
};

int main(int argc, char* argv[])
{
    runOnPrivateSessionBus(argc, argv);
    prepareEnvironment();
    qputenv("TMPDIR", QFile::encodeName(homePath()));
    startPrivateDisplay(QSize(1280, 800));
    startup::prepareProcess();
    // The screens come from the desktop portal, as on a Wayland desktop: its fake can fail or go silent.
    qputenv("ZVN_SCREEN_GRABBER", "wayland");
    Application application(argc, argv);
    prepareApplication();
    TestAppWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_app_window.moc"
