#include "libraryTestSupport.h"

#include "api/APIHandler.h"
#include "core/ResultFormat.h"
#include "core/identity.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "support/FakeService.h"
#include "support/TestMain.h"

#include <QJsonObject>
#include <QNetworkAccessManager>

using namespace zq::test;

// The controller's local bookkeeping and its calls to the service.
class TestQeltsController : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<QeltsController> m_controller;

    static QJsonObject createdJson(const QString& id)
    {
        return QJsonObject{{"id", id},          {"latex", "y"},
                           {"text", "$y$"},     {"created_at", "2024-03-01T10:00:00Z"},
                           {"confidence", 0.9}, {"modified_at", "2024-03-01T10:05:00Z"}};
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
        m_controller.reset();
        utils::overrideBaseUrlsForTesting(QString());
        APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt);
    }

    void addingReportsWhatChanged_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("emitCount");
        QTest::addColumn<bool>("isNew");
        QTest::addColumn<int>("countSignals");
        QTest::addColumn<int>("updatedSignals");
        QTest::addColumn<QString>("latexShown");
        QTest::newRow("new, counted") << "new" << true << true << 1 << 0 << "x";
        QTest::newRow("new, quiet") << "new" << false << true << 0 << 0 << "x";
        QTest::newRow("equal") << "none" << true << false << 0 << 0 << "edited";
        QTest::newRow("confidence within a tenth") << "confidence" << true << false << 0 << 0 << "edited";
        QTest::newRow("text changed keeps the edit") << "text" << true << false << 0 << 1 << "edited";
        QTest::newRow("new rendering drops the edit") << "rendered" << true << false << 0 << 1 << "edited";
    }

    void addingReportsWhatChanged()
    {
        QFETCH(QString, change);
        QFETCH(bool, emitCount);
        QFETCH(bool, isNew);
        QFETCH(int, countSignals);
        QFETCH(int, updatedSignals);
        QFETCH(QString, latexShown);
        auto stored = makeQelt("q1", 10);
        if (change != "new") {
            QVERIFY(m_controller->addQelt(stored, false));
            m_controller->editQeltText("q1", "edited text");
            m_controller->editQelt("q1", "edited", "t");
        }
        auto incoming = std::make_shared<ZorvaneQelt>(*stored);
        if (change == "confidence")
            incoming->confidence += 0.01;
        if (change == "text")
            incoming->text = "changed";
        if (change == "rendered")
            incoming->renderedImageUrl = "http://img/q1/r2.png";
        QSignalSpy count(m_controller.get(), &QeltsController::qeltsCountChanged);
        QSignalSpy updated(m_controller.get(), &QeltsController::qeltUpdated);
        QCOMPARE(m_controller->addQelt(incoming, emitCount), isNew);
        QCOMPARE(count.count(), countSignals);
        QCOMPARE(updated.count(), updatedSignals);
        // After a new rendering the older queued edit still wins over the Qelt's own content.
        QCOMPARE(m_controller->latexOf(m_controller->qeltById("q1")), latexShown);
        QCOMPARE(m_controller->qeltById("q1")->text, change == "text" ? "changed" : stored->text);
    }

    void editsShownBeforeTheServiceHasThem_data()
    {
        QTest::addColumn<int>("inlineStyle");
        QTest::addColumn<QString>("latex");
        QTest::addColumn<QString>("text");
        QTest::newRow("dollars") << 0 << "a+b"
                                 << "$a+b$";
        QTest::newRow("parentheses") << 1 << "a+b"
                                     << "\\(a+b\\)";
        QTest::newRow("other style") << 7 << "a+b"
                                     << "a+b";
    }

    void editsShownBeforeTheServiceHasThem()
    {
        QFETCH(int, inlineStyle);
        QFETCH(QString, latex);
        QFETCH(QString, text);
        utils::ResultFormat format;
        format.inlineStyle = inlineStyle;
        utils::setResultFormat(format);
        const auto qelt = makeQelt("q1", 10);
        m_controller->addQelt(qelt, true);
        QSignalSpy updated(m_controller.get(), &QeltsController::qeltUpdated);
        m_controller->editQeltLatex("q1", latex);
        QCOMPARE(updated.count(), 1);
        QCOMPARE(m_controller->latexOf(qelt), latex);
        QCOMPARE(m_controller->textOf(qelt), text);
        m_controller->editQeltText("q1", "plain");
        QCOMPARE(m_controller->latexOf(qelt), QString());
        QCOMPARE(m_controller->latexOf(nullptr), QString());
    }

    void removalNamesTheNeighbour_data()
    {
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("neighbour");
        QTest::newRow("only one") << QStringList{"a"} << "a"
                                  << "";
        QTest::newRow("newest gives previous") << QStringList{"a", "b", "c"} << "c"
                                               << "b";
        QTest::newRow("other gives next") << QStringList{"a", "b", "c"} << "a"
                                          << "b";
    }

    void removalNamesTheNeighbour()
    {
        QFETCH(QStringList, ids);
        QFETCH(QString, removed);
        QFETCH(QString, neighbour);
        for (int i = 0; i < ids.size(); ++i)
            m_controller->addQelt(makeQelt(ids[i], 10 * (i + 1)), false);
        QSignalSpy spy(m_controller.get(), &QeltsController::qeltRemoved);
        m_controller->removeQelt(removed);
        QCOMPARE(spy.value(0), (QVariantList{removed, neighbour}));
        QCOMPARE(m_controller->pendingDeletions(), std::set<QString>{removed});
        QVERIFY(m_controller->isSyncing());
    }

    void savedQeltsAndDeletionsComeBack()
    {
        m_controller->addQelt(makeQelt("a", 10), false);
        m_controller->addQelt(makeQelt("b", 20), false);
        m_controller->removeQelt("a");
        m_controller->saveToDisk();
        QeltsController next(nullptr, &m_manager);
        next.setUser("me@example.org", "t0k");
        QCOMPARE(next.count(), 1);
        QCOMPARE(next.pendingDeletions(), std::set<QString>{"a"});
        QVERIFY(
            next.qeltsFilePath().endsWith("/qelts-" + QeltsController::userHex("me@example.org") + ".dat"));

        QFile damaged(next.qeltsFilePath());
        QVERIFY(damaged.open(QIODevice::Append) && damaged.write("cut") == 3);
        damaged.close();
        QeltsController third(nullptr, &m_manager);
        QSignalSpy forbidden(&third, &QeltsController::receivedForbidden);
        third.setUser("me@example.org", "t0k");
        QCOMPARE(forbidden.count(), 1);
        third.setUser(QString(), QString());
        QVERIFY(!QFile::exists(next.qeltsFilePath()));
    }

    void serviceCalls_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("qelts");
        QTest::addColumn<int>("forbidden");
        QTest::addColumn<int>("failed");
        QTest::newRow("create 200") << "create" << 200 << 2 << 0 << 0;
        QTest::newRow("create 401") << "create" << 401 << 1 << 0 << 0;
        QTest::newRow("create 500") << "create" << 500 << 1 << 0 << 0;
        QTest::newRow("delete all 200") << "deleteAll" << 200 << 0 << 0 << 0;
        QTest::newRow("delete all 401") << "deleteAll" << 401 << 1 << 1 << 1;
        QTest::newRow("delete all 500") << "deleteAll" << 500 << 1 << 0 << 1;
    }

    void serviceCalls()
    {
        QFETCH(QString, call);
        QFETCH(int, status);
        QFETCH(int, qelts);
        QFETCH(int, forbidden);
        QFETCH(int, failed);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        m_controller->addQelt(makeQelt("old", 10), false);
        m_service->on("POST", "/v1/qelts/text",
                      Reply::json(createdJson("new1"), status).withHeader("zorvane-request-id", "r-9"));
        m_service->on("DELETE", "/v1/qelts", Reply::json(QJsonObject(), status));
        QSignalSpy created(m_controller.get(), &QeltsController::showCreatedQelt);
        QSignalSpy forbiddenSpy(m_controller.get(), &QeltsController::receivedForbidden);
        QSignalSpy failedSpy(m_controller.get(), &QeltsController::failedToRemoveAllQelts);
        QSignalSpy syncing(m_controller.get(), &QeltsController::syncStateChanged);
        if (call == "create")
            m_controller->createTextQelt("\\frac{1}{2}", false);
        else
            m_controller->removeAllQelts();
        QTRY_VERIFY(!m_controller->isSyncing());
        QCOMPARE(m_controller->count(), qelts);
        QCOMPARE(forbiddenSpy.count(), forbidden);
        QCOMPARE(failedSpy.count(), failed);
        QCOMPARE(created.count(), call == "create" && status == 200 ? 1 : 0);
        const RecordedRequest sent = m_service->requests().value(0);
        QCOMPARE(sent.header("authorization"), QByteArray("Bearer t0k"));
        QCOMPARE(QString::fromUtf8(sent.header("user-agent")), utils::appVersionString());
        if (call == "create") {
            QCOMPARE(sent.json(), (QJsonObject{{"config", QJsonObject{{"zmd_version", "1.2.17"},
                                                                      {"include_diagrams", true},
                                                                      {"include_chemistry", true}}},
                                               {"text", ""},
                                               {"latex", "\\frac{1}{2}"},
                                               {"metadata", QJsonObject{{"input_type", "text_latex"}}}}));
            QCOMPARE(sent.header("content-type"), QByteArray("application/json"));
        } else {
            QCOMPARE(syncing.count(), 2);
            QVERIFY(sent.body.isEmpty());
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
        QTRY_COMPARE(m_service->requestCount(), 1);
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

    void switchChoosesController()
    {
        QeltsController second(nullptr, &m_manager);
        QVERIFY_EXCEPTION_THROWN(QeltControllerSwitch(nullptr, &second), std::runtime_error);
        QeltControllerSwitch choice(m_controller.get(), &second);
        QCOMPARE(choice.current(), m_controller.get());
        choice.setMode(2);
        QCOMPARE(choice.current(), &second);
    }
};

ZQ_TEST_MAIN(TestQeltsController)
#include "test_qelts_controller.moc"
