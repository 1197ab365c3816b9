// The browser sign-in, from the sign-in window's buttons to its loggedIn, against the fake service's login
// processes over loopback; the desktop's browser is a URL handler that records the pages opened.
#include "auth/LoginDialog.h"

#include "core/identity.h"
#include "core/settings.h"
#include "support/FakeLogins.h"
#include "support/SilentService.h"
#include "support/TestMain.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrlQuery>

using zq::test::FakeBrowser;
using zq::test::FakeLogins;
using zq::test::Reply;

Q_DECLARE_METATYPE(zq::test::Reply)

class TestLogin : public QObject
{
    Q_OBJECT

    std::unique_ptr<zq::test::FakeService> m_service;
    std::unique_ptr<FakeLogins> m_logins;
    std::unique_ptr<FakeBrowser> m_browser;
    QPointer<LoginDialog> m_dialog;

    // A sign-in window polling every few milliseconds, on its first page.
    void open(bool loginFirst)
    {
        m_dialog = new LoginDialog(loginFirst);
        m_dialog->flow()->setPollInterval(10);
        m_dialog->show();
    }

    // The first page's button: the browser sign-in starts.
    void start()
    {
        QTest::mouseClick(child<QPushButton>(page() == "page_login" ? "but_log_in" : "but_create_account"),
                          Qt::LeftButton);
    }

    template <typename T> T* child(const char* name) { return m_dialog->findChild<T*>(name); }
    QString page() { return child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(); }

private slots:
    void init()
    {
        zq::test::clearSettings();
        m_service = std::make_unique<zq::test::FakeService>();
        m_logins = std::make_unique<FakeLogins>(*m_service);
        m_browser = std::make_unique<FakeBrowser>();
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
    }

    void cleanup()
    {
        delete m_dialog;
        m_browser.reset();
    }

    void browserSignInPollsUntilTheAccountComes_data()
    {
        QTest::addColumn<bool>("loginFirst");
        QTest::addColumn<QString>("firstPage");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("forget");
        QTest::newRow("first window: sign-up") << false << "page_signup"
                                               << "/signup" << false;
        QTest::newRow("signed in before: login") << true << "page_login"
                                                 << "/login" << false;
        QTest::newRow("forgotten process replaced") << true << "page_login"
                                                    << "/login" << true;
    }

    void browserSignInPollsUntilTheAccountComes()
    {
        QFETCH(bool, loginFirst);
        QFETCH(bool, forget);
        open(loginFirst);
        QTEST(page(), "firstPage");
        // The logo shows whole at 64 px: the corner of its rounded square is the window's white, its top
        // edge the logo's blue.
        const QLabel* logo = child<QLabel>("lb_logo");
        QCOMPARE(logo->size(), QSize(64, 64));
        const QImage window = m_dialog->grab().toImage();
        const QPoint corner = logo->mapTo(m_dialog, QPoint());
        QCOMPARE(window.pixelColor(corner), QColor(Qt::white));
        QCOMPARE(window.pixelColor(corner + QPoint(32, 4)),
                 QImage(":/logo/logo (256x256).png").pixelColor(128, 16));
        QSignalSpy signedIn(m_dialog.data(), &LoginDialog::loggedIn);
        start();
        QCOMPARE(page(), QString("page_wait"));
        QTRY_VERIFY(m_logins->polls("process1") >= 2);
        const QUrl shown = m_browser->opened().value(0);
        QTEST(shown.path(), "path");
        QCOMPARE(shown.host(), QUrl(m_service->baseUrl()).host());
        QCOMPARE(QUrlQuery(shown).queryItemValue("login_uuid"), QString("process1"));
        QCOMPARE(child<QLabel>("lb_wait_url")->text(), shown.toString());
        const QString process = forget ? "process2" : "process1";
        if (forget) {
            m_logins->forget("process1");
            QTRY_COMPARE(m_browser->opened().size(), 2);
            QCOMPARE(QUrlQuery(m_browser->opened().last()).queryItemValue("login_uuid"), process);
        }
        QVERIFY(signedIn.isEmpty());
        m_logins->signIn(process, "ada@example.org", "t0ken");
        QTRY_COMPARE(signedIn.count(), 1);
        QCOMPARE(signedIn.first(), (QVariantList{"ada@example.org", "t0ken"}));
        QTRY_VERIFY(!m_dialog);
        // Every poll asked for its process with the client id that opened it, and never with a token.
        QVERIFY(m_logins->clientIdOf("process1") != m_logins->clientIdOf("process2"));
        for (const auto& request : m_service->requestsTo("/v1/user/logins/" + process)) {
            QCOMPARE(request.queryItem("client_id"), m_logins->clientIdOf(process));
            QVERIFY(!request.headers.contains("authorization"));
        }
    }

    // Each ends on the page the user started from, with a message, and nothing more is asked.
    void signInThatCannotGoOnEndsInAMessage_data()
    {
        QTest::addColumn<QJsonObject>("opened"); // the reply that opens the process; empty: the usual one
        QTest::addColumn<QJsonObject>("status"); // the first status reply; empty: the usual one
        QTest::addColumn<int>("processes");
        QTest::addColumn<QString>("message");
        const auto uuid = [](const QJsonValue& id) { return QJsonObject{{"uuid", id}}; };
        const QJsonObject none;
        QTest::newRow("every process forgotten") << none << none << LoginFlow::kMaxRestarts + 1 << "expired";
        QTest::newRow("a status of another kind")
            << none << QJsonObject{{"status", "expired"}} << 1 << "did not complete";
        QTest::newRow("completed without a token")
            << none << QJsonObject{{"status", "completed"}, {"email", "ada@example.org"}} << 1
            << "did not complete";
        QTest::newRow("id with a path") << uuid("../../elsewhere") << none << 0 << "could not be used";
        QTest::newRow("id with a query")
            << uuid("p1?next=https://evil.example") << none << 0 << "could not be used";
        QTest::newRow("id with a blank") << uuid("p 1") << none << 0 << "could not be used";
        QTest::newRow("id too long") << uuid(QString(LoginFlow::kMaxProcessIdLength + 1, 'a')) << none << 0
                                     << "could not be used";
        QTest::newRow("id not a string") << uuid(42) << none << 0 << "could not be used";
        QTest::newRow("refused with a reason")
            << QJsonObject{{"errors", QJsonArray{QJsonObject{{"id", "x"}, {"message", "Come back later"}}}}}
            << none << 0 << "Come back later";
    }

    void signInThatCannotGoOnEndsInAMessage()
    {
        QFETCH(QJsonObject, opened);
        QFETCH(QJsonObject, status);
        QFETCH(QString, message);
        if (!status.isEmpty())
            m_service->enqueue("GET", "/v1/user/logins/*", Reply::json(status));
        else if (opened.isEmpty())
            m_logins->forgetAll();
        else
            m_service->enqueue("POST", "/v1/user/logins", Reply::json(opened));
        open(true);
        start();
        QTRY_COMPARE(page(), QString("page_login"));
        QVERIFY(child<QLabel>("lb_error")->isVisible());
        QVERIFY2(child<QLabel>("lb_error")->text().contains(message),
                 qPrintable(child<QLabel>("lb_error")->text()));
        QTEST(m_browser->opened().size(), "processes");
        QVERIFY(!m_dialog->flow()->isRunning());
    }

    // A window left waiting while the service lets each process expire: every new process opens a page
    // in the browser, so there are only a few of them.
    void expiringProcessesOpenOnlyAFewPages()
    {
        open(true);
        start();
        for (int n = 1; n <= LoginFlow::kMaxRestarts + 1; ++n) {
            const QString process = QStringLiteral("process%1").arg(n);
            QTRY_VERIFY(m_logins->polls(process) >= 1);
            m_logins->forget(process);
        }
        QTRY_COMPARE(page(), QString("page_login"));
        QVERIFY(child<QLabel>("lb_error")->text().contains("expired"));
        QCOMPARE(m_browser->opened().size(), LoginFlow::kMaxRestarts + 1);
    }

    void passingTroubleIsShownWhilePollingGoesOn_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::newRow("service unavailable") << Reply::text(503);
        const QJsonObject limit{{"id", "too_many_requests_minute"}, {"message", "Slow down"}};
        QTest::newRow("too many requests") << Reply::json(QJsonObject{{"errors", QJsonArray{limit}}}, 429);
        QTest::newRow("taken, never answered") << Reply::silence();
    }

    void passingTroubleIsShownWhilePollingGoesOn()
    {
        QFETCH(Reply, reply);
        open(true);
        QSignalSpy troubled(m_dialog->flow(), &LoginFlow::troubled);
        zq::test::SilentService silent;
        if (reply.noAnswer) {
            // The first poll goes to a service that never answers; once it has given up, the next are
            // answered.
            connect(m_dialog->flow(), &LoginFlow::browserOpened, &silent, [&silent] { silent.beginStall(); });
            connect(m_dialog->flow(), &LoginFlow::troubled, &silent, [&silent] { silent.endStall(); });
        } else {
            m_service->enqueue("GET", "/v1/user/logins/*", reply);
        }
        start();
        QTRY_COMPARE(troubled.count(), 2);
        QVERIFY(!troubled.at(0).at(0).toString().isEmpty());
        QVERIFY(troubled.at(1).at(0).toString().isEmpty());
        QVERIFY(m_dialog->flow()->isRunning());
    }

    void cancelDropsTheReplyOnItsWay()
    {
        int asked = 0;
        m_service->on("GET", "/v1/user/logins/process1", [&asked](const zq::test::RecordedRequest&) {
            ++asked;
            return Reply::json(QJsonObject{{"status", "completed"}, {"email", "a@b.c"}, {"token", "T"}})
                .withDelay(100);
        });
        open(true);
        start();
        QSignalSpy signedIn(m_dialog.data(), &LoginDialog::loggedIn);
        QTRY_COMPARE(asked, 1);
        QTest::mouseClick(child<QPushButton>("but_open_again"), Qt::LeftButton);
        QCOMPARE(m_browser->opened().size(), 2);
        QCOMPARE(m_browser->opened().last(), m_browser->opened().first());
        QTest::mouseClick(child<QPushButton>("but_cancel"), Qt::LeftButton);
        QCOMPARE(page(), QString("page_login"));
        // The reply arrives and goes with its request; nothing follows it.
        QTRY_VERIFY(m_dialog->flow()->findChildren<QObject*>().isEmpty());
        QCOMPARE(signedIn.count() + asked, 1);
        QVERIFY(!m_dialog->flow()->isRunning());
    }

    // Last: a quit marks the thread, and every event loop started after it returns at once.
    void closingUnsignedQuitsOnlyWithoutATray_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::newRow("tray") << true;
        QTest::newRow("no tray") << false;
    }

    void closingUnsignedQuitsOnlyWithoutATray()
    {
        QFETCH(bool, tray);
        kKeySystemTrayAvailable.set(tray);
        open(false);
        QEventLoop loop;
        // Without a quit the loop ends itself once the window is gone.
        connect(
            m_dialog.data(), &QObject::destroyed, &loop, [&loop] { loop.exit(1); }, Qt::QueuedConnection);
        QTimer::singleShot(0, m_dialog.data(), &QWidget::close);
        QCOMPARE(loop.exec() == 0, !tray);
    }
};

ZQ_TEST_MAIN(TestLogin)
#include "test_login.moc"
