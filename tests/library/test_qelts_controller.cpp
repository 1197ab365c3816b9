#include "libraryTestSupport.h"

#include "api/APIHandler.h"
#include "core/ResultFormat.h"
#include "core/identity.h"
#include "library/QeltsController.h"
#include "support/FakeAccount.h"
#include "support/TestMain.h"

#include <QJsonObject>
#include <QNetworkAccessManager>

using namespace zq::test;

struct AddCase
{
    QString change;
    bool emitCount, isNew;
    int countSignals, updatedSignals;
    QString latexShown;
};
struct CallCase
{
    QString call;
    int status, qelts, forbidden, failed;
};
Q_DECLARE_METATYPE(AddCase)
Q_DECLARE_METATYPE(CallCase)

// The controller's local bookkeeping and its calls to the service.
class TestQeltsController : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<QeltsController> m_controller;

    static QJsonObject createdJson(const QString& id)
    {
        return {{"id", id}, {"created_at", "2024-03-01T10:00:00Z"}, {"modified_at", "2024-03-01T10:05:00Z"}};
    }

private slots:
    void init()
    {
        clearSettings();
        m_service = std::make_unique<FakeService>();
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
        APIHandler::overrideNetworkAvailabilityForTesting(false);
        m_controller = std::make_unique<QeltsController>(nullptr, &m_manager);
        m_controller->setUser("me@example.org", "t0k");
    }

    void cleanup()
    {
        m_controller->setUser(QString(), QString()); // deletes the user's file
        m_controller.reset();
        utils::overrideBaseUrlsForTesting(QString());
        APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt);
    }

    void addingReportsWhatChanged_data()
    {
        QTest::addColumn<AddCase>("c");
        QTest::newRow("new, counted") << AddCase{"new", true, true, 1, 0, "x"};
        QTest::newRow("new, quiet") << AddCase{"new", false, true, 0, 0, "x"};
        QTest::newRow("equal") << AddCase{"none", true, false, 0, 0, "edited"};
        QTest::newRow("confidence within a tenth") << AddCase{"confidence", true, false, 0, 0, "edited"};
        QTest::newRow("text changed keeps the edit") << AddCase{"text", true, false, 0, 1, "edited"};
        QTest::newRow("new rendering drops the edit") << AddCase{"rendered", true, false, 0, 1, "edited"};
    }

    void addingReportsWhatChanged()
    {
        QFETCH(AddCase, c);
        const QString& change = c.change;
        auto stored = makeQelt("q1", 10);
        if (change != "new") {
            QVERIFY(m_controller->addQelt(stored, false));
            utils::ResultFormat format;
            format.inlineStyle = 1;
            utils::setResultFormat(format);
            m_controller->editQeltText("q1", "edited text");
            m_controller->editQeltLatex("q1", "edited");
        }
        auto incoming = std::make_shared<ZorvaneQelt>(*stored);
        incoming->confidence += change == "confidence" ? 0.01 : 0.0;
        incoming->text = change == "text" ? "changed" : incoming->text;
        incoming->renderedImageUrl =
            change == "rendered" ? "http://img/q1/r2.png" : incoming->renderedImageUrl;
        QSignalSpy count(m_controller.get(), &QeltsController::qeltsCountChanged);
        QSignalSpy updated(m_controller.get(), &QeltsController::qeltUpdated);
        QCOMPARE(m_controller->addQelt(incoming, c.emitCount), c.isNew);
        QCOMPARE(count.count(), c.countSignals);
        QCOMPARE(updated.count(), c.updatedSignals);
        // After a new rendering the older queued edit still wins over the Qelt's own content.
        QCOMPARE(m_controller->latexOf(m_controller->qeltById("q1")), c.latexShown);
        QCOMPARE(m_controller->textOf(m_controller->qeltById("q1")),
                 change == "new" ? "$x$" : "\\(edited\\)");
    }

    void savedQeltsAndDeletionsComeBack()
    {
        m_controller->addQelt(makeQelt("a", 10), false);
        m_controller->addQelt(makeQelt("b", 20), false);
        QSignalSpy removed(m_controller.get(), &QeltsController::qeltRemoved);
        m_controller->removeQelt("a");
        QCOMPARE(removed.value(0), (QVariantList{"a", "b"}));
        m_controller->saveToDisk();
        QeltsController next(nullptr, &m_manager);
        next.setUser("me@example.org", "t0k");
        QCOMPARE(next.count(), 1);
        QCOMPARE(next.pendingDeletions(), std::set<QString>{"a"});
    }

    void serviceCalls_data()
    {
        QTest::addColumn<CallCase>("c");
        QTest::newRow("create 200") << CallCase{"create", 200, 2, 0, 0};
        QTest::newRow("create 401") << CallCase{"create", 401, 1, 0, 0};
        QTest::newRow("create 500") << CallCase{"create", 500, 1, 0, 0};
        QTest::newRow("delete all 200") << CallCase{"deleteAll", 200, 0, 0, 0};
        QTest::newRow("delete all 401") << CallCase{"deleteAll", 401, 1, 1, 1};
        QTest::newRow("delete all 500") << CallCase{"deleteAll", 500, 1, 0, 1};
    }

    void serviceCalls()
    {
        QFETCH(CallCase, c);
        const QString& call = c.call;
        const int status = c.status;
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        m_controller->addQelt(makeQelt("old", 10), false);
        FakeAccount account(*m_service);
        if (status != 200)
            account.failNext(call == "create" ? AccountCall::Create : AccountCall::DeleteAll, 1, status);
        QSignalSpy created(m_controller.get(), &QeltsController::showCreatedQelt);
        QSignalSpy forbiddenSpy(m_controller.get(), &QeltsController::receivedForbidden);
        QSignalSpy failedSpy(m_controller.get(), &QeltsController::failedToRemoveAllQelts);
        QSignalSpy countSpy(m_controller.get(), &QeltsController::qeltsCountChanged);
        if (call == "create")
            m_controller->createTextQelt("\\frac{1}{2}", false);
        else
            m_controller->removeAllQelts();
        QTRY_VERIFY(!m_controller->isSyncing());
        QCOMPARE(m_controller->count(), c.qelts);
        QCOMPARE(forbiddenSpy.count(), c.forbidden);
        QCOMPARE(failedSpy.count(), c.failed);
        QCOMPARE(countSpy.count(), status == 200 ? 1 : 0);
        QCOMPARE(created.count(), call == "create" && status == 200 ? 1 : 0);
        RecordedRequest sent; // the call itself, not a list download
        for (const RecordedRequest& request : m_service->requests())
            sent = sent.method.isEmpty() && request.method != "GET" ? request : sent;
        QCOMPARE(sent.header("authorization"), QByteArray("Bearer t0k"));
        QCOMPARE(QString::fromUtf8(sent.header("user-agent")), utils::appVersionString());
        if (call == "create") {
            QCOMPARE(QJsonDocument(sent.json()).toJson(QJsonDocument::Compact),
                     R"({"config":{"include_chemistry":true,"include_diagrams":true,"zmd_version":"1.2.17"},)"
                     R"("latex":"\\frac{1}{2}","metadata":{"input_type":"text_latex"},"text":""})");
            QCOMPARE(sent.header("content-type"), QByteArray("application/json"));
        }
    }

    void createDuringPatchKeepsBothAnswers()
    {
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        m_controller->addQelt(makeQelt("a/b?c", 10), false);
        m_service->on("PATCH", "/v1/qelts/a%2Fb%3Fc", Reply::json(QJsonObject()).withDelay(200));
        m_service->on("POST", "/v1/qelts/text", Reply::json(createdJson("new1")));
        m_service->on("DELETE", "/v1/qelts/a%2Fb%3Fc", Reply::json(QJsonObject()));
        QSignalSpy created(m_controller.get(), &QeltsController::showCreatedQelt);
        m_controller->editQeltText("a/b?c", "edited");
        QTRY_COMPARE(m_service->requestsTo("/v1/qelts/a%2Fb%3Fc").size(), 1);
        m_controller->createTextQelt("# title", true);
        QTRY_VERIFY(!m_controller->isSyncing());
        QCOMPARE(created.count(), 1);
        QVERIFY(m_controller->editQueue().isEmpty());
        QCOMPARE(m_service->requestsTo("/v1/qelts/a%2Fb%3Fc").value(0).json(),
                 (QJsonObject{{"text", "edited"}, {"latex", ""}}));
        m_controller->removeQelt("a/b?c");
        QTRY_VERIFY(m_controller->pendingDeletions().empty());
        QCOMPARE(m_service->requestsTo("/v1/qelts/a%2Fb%3Fc").size(), 2);
    }
};

ZQ_TEST_MAIN(TestQeltsController)
#include "test_qelts_controller.moc"
