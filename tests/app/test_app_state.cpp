#include "api/APIHandler.h"
#include "core/identity.h"
#include "library/QeltsController.h"
#include "support/FakeAccount.h"
#include "support/TestMain.h"

#include <QFile>

using namespace zq::test;

namespace {

const QString kUser = QStringLiteral("me@example.org");
const QString kToken = QStringLiteral("t0k");

} // namespace

// The application's state between its parts: who is signed in, and what each Qelt controller keeps.
class TestAppState : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;

    QVector<RecordedRequest> lists() const { return m_service->requestsTo("/v1/qelts"); }
    int deletes(const QString& id) const { return m_service->requestsTo("/v1/qelts/" + id).size(); }

    // The library, back from its first list, and the search results beside it.
    struct Controllers
    {
        std::unique_ptr<QeltsController> library;
        std::unique_ptr<QeltsController> search;
    };
    Controllers startControllers(QNetworkAccessManager* manager)
    {
        const int before = lists().size();
        Controllers c{std::make_unique<QeltsController>(nullptr, manager),
                      std::make_unique<QeltsController>(nullptr, manager)};
        c.search->setLibrary(c.library.get());
        c.library->setUser(kUser, kToken);
        c.search->setUser(kUser, kToken);
        [&] { QTRY_VERIFY(lists().size() > before && !c.library->isListing()); }();
        return c;
    }

private slots:
    void init()
    {
        clearSettings();
        m_service = std::make_unique<FakeService>();
        m_account = std::make_unique<FakeAccount>(*m_service);
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
        APIHandler::overrideNetworkAvailabilityForTesting(true);
    }

    void searchResultsKeepNoLibraryOfTheirOwn()
    {
        m_account->add("q1");
        m_account->add("q2");
        {
            Controllers earlier = startControllers(&m_manager);
            earlier.library->saveToDisk();
        }
        Controllers c = startControllers(&m_manager);
        QCOMPARE(c.library->count(), 2);
        // Neither the stored file nor the account's changes land among the search results.
        QCOMPARE(c.search->count(), 0);
        QVERIFY(c.search->qeltsFilePath().isEmpty());
        c.search->startSync();
        c.search->onSyncTimer();
        QVERIFY(!c.search->isListing());
        QCOMPARE(lists().size(), 2); // one per start, both the library's
        QVERIFY(QFile::exists(c.library->qeltsFilePath()));
    }

    void deletionInSearchResultsIsKeptByTheLibrary_data()
    {
        QTest::addColumn<bool>("heldByLibrary");
        QTest::addColumn<bool>("offline");
        QTest::newRow("listed in the library") << true << false;
        QTest::newRow("not listed in the library yet") << false << false;
        QTest::newRow("offline, then a restart") << true << true;
    }
    void deletionInSearchResultsIsKeptByTheLibrary()
    {
        QFETCH(bool, heldByLibrary);
        QFETCH(bool, offline);
        m_account->add("q1");
        if (heldByLibrary)
            m_account->add("q2");
        Controllers c = startControllers(&m_manager);
        if (!heldByLibrary)
            m_account->add("q2"); // found by a search before the library's next list
        QVERIFY(c.search->addQelt(ZorvaneQelt::fromJson(m_account->find("q2")->json(m_service->baseUrl())),
                                  false));
        if (offline)
            m_account->failNext(AccountCall::Delete, 1, 503);
        c.search->removeQelt("q2");
        QCOMPARE(c.search->count(), 0);
        QCOMPARE(c.library->count(), 1);
        QVERIFY(c.search->pendingDeletions().empty());
        QTRY_COMPARE(deletes("q2"), 1);
        if (offline) {
            // Stored by the library at once: a crash now loses nothing, and the search results' own start
            // for the same user leaves it stored.
            c.search->setUser(kUser, kToken);
            Controllers next = startControllers(&m_manager);
            QCOMPARE(next.library->pendingDeletions(), std::set<QString>{"q2"});
            QTRY_VERIFY((next.library->onSyncTimer(), next.library->pendingDeletions().empty()));
            QCOMPARE(next.library->count(), 1);
        }
        QTRY_VERIFY(m_account->find("q2")->deleted);
        QTRY_VERIFY(c.library->pendingDeletions().empty() || offline);
        c.library->startSync();
        QTRY_VERIFY(!c.library->isListing());
        QCOMPARE(c.library->count(), 1);
        QCOMPARE(deletes("q2"), offline ? 2 : 1);
    }
};

ZQ_TEST_MAIN(TestAppState)
#include "test_app_state.moc"
