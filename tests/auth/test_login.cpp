// The browser sign-in, from the sign-in window's buttons to its loggedIn, against the fake service's login
// processes over loopback; the desktop's browser is a URL handler that records the pages opened.
#include "auth/LoginDialog.h"

#include "api/LoginProcessResult.h"
#include "core/identity.h"
#include "core/settings.h"
#include "support/FakeLogins.h"
#include "support/TestMain.h"

#include "ui_LoginDialog.h"

#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrlQuery>
#include <QUuid>

using zq::test::FakeBrowser;
using zq::test::FakeLogins;
using zq::test::FakeService;
using zq::test::Reply;

namespace {

constexpr int kPollMs = 10;

QString processOf(const QUrl& page)
{
    return QUrlQuery(page).queryItemValue(QStringLiteral("login_uuid"));
}

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeLogins> m_logins;
    std::unique_ptr<FakeBrowser> m_browser;
    QPointer<LoginDialog> m_dialog;

    // A sign-in window of this test function, polling every few milliseconds.
    LoginDialog* open(bool loginFirst)
    {
        m_dialog = new LoginDialog(loginFirst);
        m_dialog->flow()->setPollInterval(kPollMs);
        m_dialog->show();
        return m_dialog;
    }

    template <typename T> T* child(const char* name) { return m_dialog->findChild<T*>(name); }
    QString currentPage() { return child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(); }

private slots:
    void init()
    {
        zq::test::clearSettings();
        m_service = std::make_unique<FakeService>();
        m_logins = std::make_unique<FakeLogins>(*m_service);
        m_browser = std::make_unique<FakeBrowser>();
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
    }

    void cleanup()
    {
        delete m_dialog;
        m_browser.reset();
        utils::overrideBaseUrlsForTesting(QString());
    }

    void windowOpensOnItsPageAndTheBrowserOnTheMatchingAccountsPage_data()
    {
        QTest::addColumn<bool>("loginFirst");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("path");
        QTest::newRow("first window: sign-up") << false << "page_signup"
                                               << "but_create_account"
                                               << "/signup";
        QTest::newRow("signed in before: login") << true << "page_login"
                                                 << "but_log_in"
                                                 << "/login";
    }

    void windowOpensOnItsPageAndTheBrowserOnTheMatchingAccountsPage()
    {
        QFETCH(bool, loginFirst);
        QFETCH(QString, button);
        open(loginFirst);
        QTEST(currentPage(), "page");
        QTest::mouseClick(child<QPushButton>(qPrintable(button)), Qt::LeftButton);
        QCOMPARE(currentPage(), QString("page_wait"));
        QTRY_COMPARE(m_browser->opened().size(), 1);
        const QUrl page = m_browser->opened().first();
        QTEST(page.path(), "path");
        QCOMPARE(page.host(), QUrl(m_service->baseUrl()).host());
        QCOMPARE(processOf(page), QString("process1"));
        QCOMPARE(child<QLabel>("lb_wait_url")->text(), page.toString());
    }

    // The whole road: a process, the browser, polls while pending, then the account and a closed window.
    void browserSignInPollsUntilCompletedAndHandsOnTheAccount()
    {
        open(true);
        QSignalSpy signedIn(m_dialog.data(), &LoginDialog::loggedIn);
        QTest::mouseClick(child<QPushButton>("but_log_in"), Qt::LeftButton);
        QTRY_VERIFY(m_logins->polls("process1") >= 3);
        QVERIFY(signedIn.isEmpty());
        m_logins->signIn("process1", "ada@example.org", "t0ken");
        QTRY_COMPARE(signedIn.count(), 1);
        QCOMPARE(signedIn.first(), (QVariantList{"ada@example.org", "t0ken"}));
        QTRY_VERIFY(!m_dialog);
        // Every poll asked for its own process with the client id that opened it, and never with a token.
        const auto polls = m_service->requestsTo("/v1/user/logins/process1");
        QVERIFY(!polls.isEmpty());
        for (const auto& request : polls) {
            QCOMPARE(request.queryItem("client_id"), m_logins->clientIdOf("process1"));
            QVERIFY(!request.headers.contains("authorization"));
        }
        QVERIFY(!QUuid::fromString(m_logins->clientIdOf("process1")).isNull());
    }

    void forgottenProcessIsReplacedAndTheNewOneSignsIn()
    {
        open(true);
        QSignalSpy signedIn(m_dialog.data(), &LoginDialog::loggedIn);
        QTest::mouseClick(child<QPushButton>("but_log_in"), Qt::LeftButton);
        QTRY_VERIFY(m_logins->polls("process1") >= 1);
        m_logins->forget("process1");
        QTRY_COMPARE(m_browser->opened().size(), 2);
        QCOMPARE(processOf(m_browser->opened().last()), QString("process2"));
        QVERIFY(m_logins->clientIdOf("process2") != m_logins->clientIdOf("process1"));
        m_logins->signIn("process2", "ada@example.org", "t2");
        QTRY_COMPARE(signedIn.count(), 1);
        QCOMPARE(signedIn.first().at(1).toString(), QString("t2"));
    }

    void aServiceThatForgetsEveryProcessEndsInAMessage()
    {
        m_logins->forgetAll();
        open(true);
        QTest::mouseClick(child<QPushButton>("but_log_in"), Qt::LeftButton);
        QTRY_COMPARE(currentPage(), QString("page_login"));
        QCOMPARE(m_logins->processes().size(), LoginFlow::kMaxRestarts + 1);
        QVERIFY(child<QLabel>("lb_error")->isVisible());
        QVERIFY(!m_dialog->flow()->isRunning());
    }

    void processIdsThatCannotGoIntoAnAddressAreRefused_data()
    {
        QTest::addColumn<QJsonValue>("uuid");
        QTest::newRow("path") << QJsonValue("../../elsewhere");
        QTest::newRow("query") << QJsonValue("p1?next=https://evil.example");
        QTest::newRow("fragment") << QJsonValue("p1#x");
        QTest::newRow("blank") << QJsonValue("p 1");
        QTest::newRow("non-ascii") << QJsonValue(QString::fromUtf8("pr\xc3\xb6zess"));
        QTest::newRow("too long") << QJsonValue(QString(LoginFlow::kMaxProcessIdLength + 1, 'a'));
        QTest::newRow("not a string") << QJsonValue(42);
    }

    void processIdsThatCannotGoIntoAnAddressAreRefused()
    {
        QFETCH(QJsonValue, uuid);
        m_service->enqueue("POST", "/v1/user/logins", Reply::json(QJsonObject{{"uuid", uuid}}));
        open(true);
        QTest::mouseClick(child<QPushButton>("but_log_in"), Qt::LeftButton);
        QTRY_VERIFY(child<QLabel>("lb_error")->isVisible());
        QCOMPARE(currentPage(), QString("page_login"));
        QVERIFY(m_browser->opened().isEmpty());
        QCOMPARE(m_service->requestCount(), 1);
    }

    void passingTroubleIsShownWhilePollingGoesOn()
    {
        m_service->enqueue("GET", "/v1/user/logins/*", Reply::text(503));
        open(true);
        QSignalSpy troubled(m_dialog->flow(), &LoginFlow::troubled);
        QTest::mouseClick(child<QPushButton>("but_log_in"), Qt::LeftButton);
        QTRY_COMPARE(troubled.count(), 2);
        QVERIFY(!troubled.at(0).at(0).toString().isEmpty());
        QVERIFY(troubled.at(1).at(0).toString().isEmpty());
        QCOMPARE(currentPage(), QString("page_wait"));
        QVERIFY(m_dialog->flow()->isRunning());
    }

    void cancelStopsPollingAndIgnoresTheReplyOnItsWay()
    {
        int asked = 0;
        m_service->on("GET", "/v1/user/logins/process1", [&asked](const zq::test::RecordedRequest&) {
            ++asked;
            const QJsonObject done{{"status", "completed"}, {"email", "a@b.c"}, {"token", "T"}};
            return Reply::json(done).withDelay(100);
        });
        open(true);
        QSignalSpy signedIn(m_dialog.data(), &LoginDialog::loggedIn);
        QTest::mouseClick(child<QPushButton>("but_log_in"), Qt::LeftButton);
        QTRY_COMPARE(asked, 1);
        QTest::mouseClick(child<QPushButton>("but_cancel"), Qt::LeftButton);
        QCOMPARE(currentPage(), QString("page_login"));
        // The reply in flight arrives and is dropped with its request; nothing follows it.
        QTRY_VERIFY(m_dialog->flow()->findChildren<QObject*>().isEmpty());
        QCOMPARE(signedIn.count(), 0);
        QCOMPARE(asked, 1);
        QVERIFY(!m_dialog->flow()->isRunning());
    }

    void stepOfEachStatusReply_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("token");
        QTest::addColumn<int>("networkError");
        QTest::addColumn<QString>("errorId");
        QTest::addColumn<int>("step");
        const int poll = int(LoginFlow::Step::Poll), fail = int(LoginFlow::Step::Fail);
        QTest::newRow("pending") << "pending"
                                 << "" << 0 << "" << poll;
        QTest::newRow("completed") << "completed"
                                   << "T" << 0 << "" << int(LoginFlow::Step::SignedIn);
        QTest::newRow("completed without token") << "completed"
                                                 << "" << 0 << "" << fail;
        QTest::newRow("capital Completed") << "Completed"
                                           << "T" << 0 << "" << fail;
        QTest::newRow("forgotten") << ""
                                   << "" << 203 << "unknown_login_uuid" << int(LoginFlow::Step::Restart);
        QTest::newRow("offline") << ""
                                 << "" << 99 << "" << poll;
        QTest::newRow("rate limit") << ""
                                    << "" << 204 << "too_many_requests_minute" << poll;
        QTest::newRow("refused") << ""
                                 << "" << 201 << "forbidden" << fail;
    }

    void stepOfEachStatusReply()
    {
        QFETCH(QString, errorId);
        ZorvaneAPI::LoginProcessResult result;
        QFETCH(QString, status);
        result.status = status;
        result.email = "ada@example.org";
        QFETCH(QString, token);
        result.token = token;
        QFETCH(int, networkError);
        result.networkError.code = networkError;
        if (!errorId.isEmpty())
            result.errors.append({errorId, "M"});
        QTEST(int(LoginFlow::stepFor(result)), "step");
    }

    void forgottenPasswordOpensTheAccountsResetPage()
    {
        open(true);
        QMetaObject::invokeMethod(child<QLabel>("lb_forgot"), "linkActivated", Q_ARG(QString, "reset"));
        QCOMPARE(m_browser->opened().value(0).path(), QString("/reset-password"));
        QCOMPARE(currentPage(), QString("page_login"));
    }

    // Last: a quit marks the thread, and every event loop started after it returns at once.
    void closingWithoutSigningInQuitsOnlyWithoutATray_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::newRow("tray") << true;
        QTest::newRow("no tray") << false;
    }

    void closingWithoutSigningInQuitsOnlyWithoutATray()
    {
        QFETCH(bool, tray);
        kKeySystemTrayAvailable.set(tray);
        open(false);
        QEventLoop loop;
        // Quitting ends every running loop; without it, the loop ends itself once the window is gone.
        QObject::connect(
            m_dialog.data(), &QObject::destroyed, &loop, [&loop] { loop.exit(1); }, Qt::QueuedConnection);
        QTimer::singleShot(0, m_dialog.data(), &QWidget::close);
        QCOMPARE(loop.exec() == 0, !tray);
    }
};

ZQ_TEST_MAIN(TestLogin)
#include "test_login.moc"
