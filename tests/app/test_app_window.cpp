// The application with its main window, on an X server of this test's own without a tray host, against
// the fake service and account over loopback: the main window opens at start as the only way in, a
// capture hides it and shows the recognised Qelt on its view page, a cancelled one brings it back, the
// settings window moves over it, its signals reach the application, and signing out hides it. The
// functions run in order on the one application.
#include "api/APIHandler.h"
#include "app/Application.h"
#include "app/NavigateEventFilter.h"
#include "app/OnDemandWindows.h"
#include "app/RateLimitDialog.h"
#include "app/flows/RecognitionUpload.h"
#include "app/startup.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/userState.h"
#include "support/BoxWatcher.h"
#include "support/FakeAccount.h"
#include "support/PrivateDisplay.h"
#include "support/TestMain.h"
#include "view/page/QeltViewFrame.h"

#include <QRadioButton>
#include <QTabWidget>

// Last: it brings Xlib, whose macros clash with Qt's names.
#include "AppHarness.h"

using namespace zq::test;

class TestAppWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;
    std::unique_ptr<Typist> m_typist;
    int m_created = 0;

    LatexResultDialog* window() const { return app().mainWindow(); }
    int uploads() const { return m_service->requestsTo("/v1/qelts-multipart").size(); }

private slots:
    void initTestCase()
    {
        m_typist = std::make_unique<Typist>();
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
        intervals.update.firstCheckMs = intervals.update.checkMs = 3600000;
        app().setIntervals(intervals);
        QVERIFY(app().CheckSingleInstance());
        app().Init();
    }

    void withoutATrayTheWindowIsTheWayIn()
    {
        QVERIFY(!kKeySystemTrayAvailable.get());
        QVERIFY(!app().tray().icon());
        QVERIFY(window());
        QTRY_VERIFY(window()->isVisible());
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

    void captureHidesTheWindowAndShowsTheQeltOnItsViewPage()
    {
        QTRY_VERIFY(app().library().count() > 0);
        QVERIFY(window()->isVisible());
        m_typist->hotkey();
        QTRY_VERIFY(!window()->isVisible());
        QTRY_VERIFY(overlaysShown());
        m_typist->drag({200, 150}, {700, 350});
        QTRY_COMPARE(uploads(), 1);
        QTRY_VERIFY(app().library().qeltById("cap1"));
        QTRY_VERIFY(window()->isVisible());
        QCOMPARE(window()->currentPage(), int(LatexResultDialog::ViewPage));
        QCOMPARE(window()->windowTitle(), QString("Zorvane Qelting Tool - Qelt View"));
        QCOMPARE(window()->viewPage()->currentQeltId(), QString("cap1"));
        // The navigation keys and the page's deletion reach the window and the library.
        const bool shownFirst = app().library().firstQelt()->id == "cap1";
        if (shownFirst)
            emit app().navigateFilter()->LastQelt();
        else
            emit app().navigateFilter()->FirstQelt();
        QTRY_COMPARE(window()->viewPage()->currentQeltId(), QString("old"));
        emit window()->WantRemoveQelt("old");
        QVERIFY(!app().library().qeltById("old"));
        QTRY_VERIFY(m_account->find("old")->deleted);
    }

    void cancelledCaptureBringsTheWindowBack()
    {
        QVERIFY(window()->isVisible());
        m_typist->hotkey();
        QTRY_VERIFY(!window()->isVisible());
        QTRY_VERIFY(overlaysShown());
        m_typist->type({XK_Escape});
        QTRY_VERIFY(window()->isVisible());
        QCOMPARE(uploads(), 1);
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
        QTRY_VERIFY(window()->isVisible());
        app().ShowSettings(SettingsDialog::ImageExportTab);
        QCOMPARE(regrabbed.count(), 1);
        QTRY_VERIFY(!first);
        SettingsDialog* second = app().windows().settings();
        QCOMPARE(second->parentWidget(), window());
        QCOMPARE(second->findChild<QTabWidget*>("tabWidget")->currentIndex(),
                 int(SettingsDialog::ImageExportTab));
        QCOMPARE(second->GetResultFormat(), edited);
        second->reject();
        QTRY_VERIFY(!app().windows().settings());
    }

    void signingOutHidesTheWindowAndSigningInShowsIt()
    {
        app().LogOut();
        QVERIFY(!window()->isVisible());
        QVERIFY(app().windows().login());
        app().windows().login()->close();
        app().OnLoggedIn("ada@example.org", "t0ken");
        QTRY_VERIFY(window()->isVisible());
        QTRY_COMPARE(kKeyUserName.get(), QString("ada"));
    }
};

int main(int argc, char* argv[])
{
    prepareEnvironment();
    qputenv("TMPDIR", QFile::encodeName(homePath()));
    startPrivateDisplay(QSize(1280, 800));
    startup::prepareProcess();
    Application application(argc, argv);
    prepareApplication();
    TestAppWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_app_window.moc"
