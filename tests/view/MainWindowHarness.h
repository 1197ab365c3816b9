#pragma once

#include "ViewPageHarness.h"

#include "api/APIHandler.h"
#include "api/Provider.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/userState.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "support/FakeAccount.h"
#include "support/TestMain.h"
#include "view/page/QeltViewFrame.h"
#include "view/window/LatexResultDialog.h"

#include <QClipboard>
#include <QJsonArray>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QScreen>

namespace zq::test {

inline const QRect kScreen(0, 0, 1920, 1080);
// The second monitor of the dummy Xorg desktop, right of the first.
inline const QRect kSecond(1920, 0, 1280, 1024);

// Runs the event loop until every single-shot timer of at most 1 ms started so far has fired.
inline void settleShortTimers()
{
    bool fired = false;
    QTimer::singleShot(1, [&fired] { fired = true; });
    QTRY_VERIFY(fired);
}

// The main window on real controllers and the fake account, with its real pages, on the test run's X server.
// A test class takes it beside QObject and calls setUpWindow, resetWindow and tearDownWindow from its
// initTestCase, init and cleanupTestCase.
class MainWindowFixture
{
protected:
    QNetworkAccessManager m_manager;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;
    std::unique_ptr<QeltsController> m_library, m_results;
    std::unique_ptr<QeltControllerSwitch> m_switch;
    std::unique_ptr<LatexResultDialog> m_window;

    std::unique_ptr<LatexResultDialog> makeWindow()
    {
        auto window = std::make_unique<LatexResultDialog>(m_switch.get(), &m_manager);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get(), kWaitMs))
            qWarning("The main window was not exposed");
        return window;
    }

    bool fullHdScreen() const { return QGuiApplication::primaryScreen()->geometry() == kScreen; }

    QString title(int page) const
    {
        static const char* const suffixes[] = {" - Qelts Gallery", " - Qelt View",   " - Qelt Edit",
                                               " - Qelt Create",   " - Qelt Create", " - Convert PDF"};
        return QCoreApplication::applicationName() + suffixes[page];
    }

    ZorvaneQeltPtr holdQelt(const QString& id, const QString& latex, const QString& text)
    {
        const auto qelt = ZorvaneQelt::fromJson(m_account->add(id, latex, text).json(m_service->baseUrl()));
        m_library->addQelt(qelt, true);
        return qelt;
    }

    // The view page (of `window`, else the fixture's) shows `id`, rendered, with its rows, and renders
    // nothing more.
    bool viewShows(const QString& id, LatexResultDialog* window = nullptr)
    {
        QeltViewFrame* view = (window ? window : m_window.get())->viewPage();
        const auto* web = view->findChild<QWidget*>(QStringLiteral("web"));
        const auto* rows = view->findChild<QWidget*>(QStringLiteral("latexresult_widget"));
        return waitUntil([view, web, rows, id] {
            const auto* cover = web->findChild<QWidget*>(QStringLiteral("applyingCover"));
            return view->currentQeltId() == id && cover && cover->isHidden() &&
                   !rows->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly).isEmpty();
        });
    }

    QList<QJsonObject> diagnosticLogs()
    {
        APIHandler::flushLogsNow();
        QList<QJsonObject> logs;
        for (const RecordedRequest& request : m_service->requestsTo(QStringLiteral("/v1/logs"))) {
            for (const QJsonValue& record : request.json().value("logs").toArray())
                logs << record.toObject();
        }
        return logs;
    }

    void setUpWindow()
    {
        clearSettings();
        m_service = std::make_unique<FakeService>();
        m_account = std::make_unique<FakeAccount>(*m_service);
        m_service->on("POST", "/v1/logs", Reply::json(QJsonObject()));
        m_service->on("GET", "/v1/user", Reply::json({{"username", "someone"}}));
        m_service->on("GET", "/images/*", Reply::raw(zq::test::png(QSize(60, 30)), "image/png"));
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
        APIHandler::init(&m_manager);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        APIHandler::setLogFlushIntervalForTesting(3'600'000);
        utils::setAuthInfo(QStringLiteral("me@example.org"), QStringLiteral("t0k"));
        ZorvaneAPI::Provider::instance().setToken(QStringLiteral("t0k"));
        WebViewWrapper::setResultDelayForTesting(20);
        m_library = std::make_unique<QeltsController>(nullptr, &m_manager);
        m_results = std::make_unique<QeltsController>(nullptr, &m_manager);
        for (QeltsController* controller : {m_library.get(), m_results.get()})
            controller->setUser("me@example.org", "t0k");
        m_switch = std::make_unique<QeltControllerSwitch>(m_library.get(), m_results.get());
        m_window = makeWindow();
        QTRY_COMPARE(kKeyUserName.get(), QStringLiteral("someone"));
        // The view page's editor page is loaded once it has shown a Qelt and copied its remembered entry.
        utils::setRowMemory({3, 0, 0});
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("loading"));
        m_window->ShowQeltView(holdQelt("warm1", "w^2", "$w^2$"));
        QVERIFY(waitUntil([clipboard] { return clipboard->text() != QLatin1String("loading"); }));
        QVERIFY(viewShows("warm1"));
        m_window->ShowGallery();
    }

    void resetWindow()
    {
        kKeySystemTrayAvailable.set(true);
        kKeyPopupConfidenceWindow.set(true);
        utils::setAuthInfo(QStringLiteral("me@example.org"), QStringLiteral("t0k"));
        m_switch->setMode(0);
        if (m_window->isHidden() || m_window->isMinimized())
            m_window->showNormal();
        m_service->clearRequests();
    }

    void tearDownWindow()
    {
        m_window.reset();
        m_library->setUser(QString(), QString());
        utils::overrideBaseUrlsForTesting(QString());
        APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt);
    }
};

} // namespace zq::test
