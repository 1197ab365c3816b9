#include "library/libraryTestSupport.h"

#include "api/APIHandler.h"
#include "core/identity.h"
#include "core/ui/MessageBox.h"
#include "core/userState.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "library/gallery/QeltGraphicsItem.h"
#include "library/gallery/QeltListFrame.h"
#include "library/gallery/QeltsView.h"
#include "library/imageFiles.h"
#include "support/FakeAccount.h"
#include "support/TestMain.h"
#include "support/pictures.h"

#include <QBuffer>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedWidget>

using namespace zq::test;

// The gallery page on real controllers, with the fake account behind the search and the deletions.
class TestGalleryPage : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;
    std::unique_ptr<QeltsController> m_library, m_results;
    std::unique_ptr<QeltControllerSwitch> m_switch;
    std::unique_ptr<QeltListFrame> m_frame;

    template <typename T> T* child(const char* name) { return m_frame->findChild<T*>(QLatin1String(name)); }
    QString labelText(const char* name) { return child<QLabel>(name)->text(); }
    QString pagerText() { return labelText("pageLabel") + " " + labelText("resultText"); }
    QeltsView* view() { return child<QeltsView>("qelts_view"); }

    // Lets every timer started before it fire: a rebuild 1 ms after an event has run by then.
    void settle()
    {
        bool settled = false;
        QTimer::singleShot(20, this, [&settled] { settled = true; });
        QTRY_VERIFY(settled);
    }

    static QString id(int i) { return QStringLiteral("q%1").arg(i, 3, 10, QChar('0')); }

    void addToLibrary(int count)
    {
        for (int i = 0; i < count; ++i) {
            auto qelt = makeQelt(id(i), 1000 + i);
            qelt->renderedImageUrl.clear(); // nothing to download: every rebuild here is one the test made
            m_library->addQelt(qelt, true);
        }
    }

    // Runs an action and, when it began a search, waits for the reply and the rebuild that follows it.
    void andWait(const std::function<void()>& action, int replyCount = 1)
    {
        QSignalSpy replies(m_frame.get(), &QeltListFrame::searchReplyArrived);
        action();
        auto* stack = child<QStackedWidget>("stackedView");
        if (stack->currentIndex() == 0)
            return;
        QTRY_VERIFY(replies.count() >= replyCount);
        QTRY_VERIFY(stack->currentIndex() == 0 || !labelText("label").endsWith("..."));
    }

private slots:
    void init()
    {
        clearSettings();
        m_service = std::make_unique<FakeService>();
        m_account = std::make_unique<FakeAccount>(*m_service);
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
        APIHandler::init(&m_manager);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        utils::setAuthInfo(QStringLiteral("me@example.org"), QStringLiteral("t0k"));
        m_library = std::make_unique<QeltsController>(nullptr, &m_manager);
        m_results = std::make_unique<QeltsController>(nullptr, &m_manager);
        m_library->setUser("me@example.org", "t0k");
        m_switch = std::make_unique<QeltControllerSwitch>(m_library.get(), m_results.get());
        m_frame = std::make_unique<QeltListFrame>(nullptr, m_switch.get());
        m_frame->resize(800, 700);
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get(), kWaitMs));
        // Showing resizes the frame, whose layout follows 1 ms later; a longer timer started now
        // fires after it, so no layout of the showing is left to land inside a test.
        bool settled = false;
        QTimer::singleShot(5, this, [&settled] { settled = true; });
        QTRY_VERIFY(settled);
        // The library lists the account as soon as it has a user. That list is over before a test adds to
        // the account: a Qelt added meanwhile would reach the library when the test does not expect it.
        QTRY_VERIFY(!m_service->requestsTo(QStringLiteral("/v1/qelts")).isEmpty() && !m_library->isListing());
    }

    void cleanup()
    {
        m_frame.reset();
        m_library->setUser(QString(), QString()); // deletes the user's file
        utils::overrideBaseUrlsForTesting(QString());
        APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt);
    }

    void cardsAlternateColumnsNewestFirst_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("cardHeightFactor"); // card height = width / 2 x factor + 40
        QTest::newRow("empty") << "rb_both" << 0 << 2;
        QTest::newRow("five, rendered") << "rb_rendered" << 5 << 1;
        QTest::newRow("four, both") << "rb_both" << 4 << 2;
    }

    void cardsAlternateColumnsNewestFirst()
    {
        QFETCH(QString, mode);
        QFETCH(int, count);
        QFETCH(int, cardHeightFactor);
        QTest::mouseClick(child<QRadioButton>(qPrintable(mode)), Qt::LeftButton);
        addToLibrary(count);
        const int width = galleryCardWidth;
        const int height = width / 2 * cardHeightFactor + 40;
        for (int i = 0; i < count; ++i) {
            // q000 is the oldest, so the last one takes the top left.
            QCOMPARE(m_frame->cards().value(id(count - 1 - i))->targetPos(),
                     QPointF(i % 2 * (width + 20), i / 2 * (height + 20)));
        }
        QCOMPARE(child<QLabel>("helloLabel")->isVisible(), count == 0);
        QCOMPARE(child<QLabel>("arrowLabel")->isVisible(), count == 0);
        m_frame->setHelloHotkey(QStringLiteral("Ctrl+M"));
        QCOMPARE(labelText("helloLabel"),
                 QString(11, ' ') + "Click here to take a qelt!\r\nOr enter Ctrl+M on your keyboard.");
    }

    void searchRepliesShowOnlyWhenStillWanted_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("failStatus");    // 0: the account answers
        QTest::addColumn<bool>("changedFirst"); // the box holds another text when the reply comes
        QTest::addColumn<QString>("message");   // the start of the message page's text; empty: cards show
        const QString scripted = "error: id: scripted_failure, message: scripted_failure";
        QTest::newRow("results") << "sum" << 0 << false << "";
        QTest::newRow("no hits") << "nothing" << 0 << false << "No search results found.";
        QTest::newRow("error in a good answer") << "sum" << 200 << false << scripted;
        QTest::newRow("stale results") << "sum" << 0 << true << "Searching your Qelts...";
        QTest::newRow("stale error") << "sum" << 500 << true << "Searching your Qelts...";
    }

    void searchRepliesShowOnlyWhenStillWanted()
    {
        QFETCH(QString, query);
        QFETCH(int, failStatus);
        QFETCH(bool, changedFirst);
        QFETCH(QString, message);
        addToLibrary(2);
        m_account->add("s0", "\\sum");
        if (failStatus)
            m_account->failNext(AccountCall::Search, 1, failStatus);
        QSignalSpy replies(m_frame.get(), &QeltListFrame::searchReplyArrived);
        m_frame->setSearchText(query);
        if (changedFirst)
            child<QLineEdit>("searchBox")->setText(query + "x");
        QTRY_COMPARE(replies.count(), 1);
        if (message.isEmpty()) {
            QTRY_COMPARE(m_frame->cards().size(), 1);
            QVERIFY(child<QFrame>("pageFrame")->isVisible());
        } else {
            QTRY_VERIFY2(labelText("label").startsWith(message), qPrintable(labelText("label")));
            QCOMPARE(child<QStackedWidget>("stackedView")->currentIndex(), 1);
        }
        QCOMPARE(m_switch->mode(), message.isEmpty() || message.startsWith("No") ? 1 : 0);
        QVERIFY(!child<QPushButton>("but_delete_all_qelts")->isEnabled());
        QCOMPARE(labelText("lbl_qelts_count"), QStringLiteral("2 Qelts")); // the library's, always

        // Leaving the search shows the library again, caught up with the account (s0 is listed from it),
        // and allows deleting it.
        m_frame->setSearchText(QString());
        QTRY_COMPARE(m_library->count(), qint64(3));
        QTRY_COMPARE(m_frame->cards().size(), 3);
        QVERIFY(child<QPushButton>("but_delete_all_qelts")->isEnabled());
    }

    void pagerWalksTheResultPages_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("labels"); // the page label, then the result text
        QTest::newRow("last") << QStringList{"but_last"} << "3 / 3 Showed 101-120 of 120 qelts";
        QTest::newRow("next beyond the last")
            << QStringList{"but_last", "but_next", "but_last"} << "3 / 3 Showed 101-120 of 120 qelts";
        QTest::newRow("next, next, previous")
            << QStringList{"but_next", "but_next", "but_prev"} << "2 / 3 Showed 51-100 of 120 qelts";
        QTest::newRow("back to the first")
            << QStringList{"but_last", "but_first", "but_prev"} << "1 / 3 Showed 1-50 of 120 qelts";
        QTest::newRow("another query starts at its first page")
            << QStringList{"but_last", "query"} << "1 / 1 Showed 1-7 of 7 qelts";
        QTest::newRow("two at once") << QStringList{"but_next but_next"}
                                     << "3 / 3 Showed 101-120 of 120 qelts";
        QTest::newRow("refreshed after its page went")
            << QStringList{"but_last", "remove 20", "refresh"} << "2 / 2 Showed 51-100 of 100 qelts";
    }

    void pagerWalksTheResultPages()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QString, labels);
        for (int i = 0; i < 120; ++i)
            m_account->add(QStringLiteral("s%1").arg(i), QStringLiteral("x^%1").arg(i),
                           i < 7 ? QStringLiteral("rare") : QString());
        andWait([this] { m_frame->setSearchText("x"); });
        for (const QString& button : clicks) {
            if (button == "query")
                andWait([this] { m_frame->setSearchText("rare"); });
            else if (button == "remove 20")
                for (int i = 0; i < 20; ++i)
                    m_account->remove(QStringLiteral("s%1").arg(i));
            else if (button == "refresh")
                andWait([this] { m_frame->refreshSearch(); });
            else
                andWait(
                    [&] {
                        for (const QString& name : button.split(' '))
                            child<QPushButton>(qPrintable(name))->click();
                    },
                    button.count(' ') + 1);
        }
        QCOMPARE(pagerText(), labels);
        QVERIFY(child<QFrame>("pageFrame")->isVisible());
        const QStringList range = labels.section(' ', 4, 4).split('-');
        QCOMPARE(m_results->count(), qint64(range[1].toInt() - range[0].toInt() + 1));
        QTRY_COMPARE(m_frame->cards().size(), range[1].toInt() - range[0].toInt() + 1);
    }

    void deletionsAskFirst_data()
    {
        QTest::addColumn<bool>("all");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("searching");
        QTest::addColumn<int>("left");
        QTest::newRow("one, confirmed") << false << int(QMessageBox::Yes) << false << 2;
        QTest::newRow("one, cancelled") << false << int(QMessageBox::Cancel) << false << 3;
        QTest::newRow("all, confirmed") << true << int(QMessageBox::Yes) << false << 0;
        QTest::newRow("a search result, confirmed") << false << int(QMessageBox::Yes) << true << 2;
    }

    void deletionsAskFirst()
    {
        QFETCH(bool, all);
        QFETCH(int, answer);
        QFETCH(bool, searching);
        QFETCH(int, left);
        addToLibrary(3);
        for (int i = 0; i < 3; ++i)
            m_account->add(id(i), "\\sum");
        if (searching)
            andWait([this] { m_frame->setSearchText("sum"); });
        QCOMPARE(m_frame->cards().size(), 3);
        MessageBox::setNextAnswer(QMessageBox::StandardButton(answer));
        if (all)
            child<QPushButton>("but_delete_all_qelts")->click();
        else
            m_frame->onDeleteItem(m_frame->cards().value("q001")); // the card's delete callback
        QTRY_COMPARE(m_switch->current()->count(), qint64(left));
        QTRY_COMPARE(m_frame->cards().size(), left);
    }

    void theEmptyPageKeepsNoScrollRange_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("delete all") << "delete all";
        QTest::newRow("sign-out") << "sign-out";
    }

    void theEmptyPageKeepsNoScrollRange()
    {
        QFETCH(QString, how);
        addToLibrary(40);
        view()->verticalScrollBar()->setValue(view()->verticalScrollBar()->maximum() / 2);
        if (how == "delete all") {
            MessageBox::setNextAnswer(QMessageBox::Yes);
            child<QPushButton>("but_delete_all_qelts")->click();
        } else {
            m_library->setUser(QString(), QString());
        }
        QTRY_VERIFY(m_frame->cards().isEmpty());
        QCOMPARE(view()->sceneRect().height(), qreal(view()->height()));
        QCOMPARE(view()->verticalScrollBar()->maximum(), 0);
        QVERIFY(child<QLabel>("helloLabel")->isVisible());
    }

    // Every capture goes through the view page and back: its card must be there when the gallery is.
    void cardsAddedWhileHiddenShowWithThePage()
    {
        m_frame->hide();
        addToLibrary(3);
        m_frame->show();
        for (QeltGraphicsItem* card : m_frame->cards())
            QVERIFY(card->isShown() && card->scene());
    }

    // A card is made before its picture is downloaded; the picture shows on it when it comes.
    void thumbnailArrivingWhileOpenShows()
    {
        const QColor teal(0, 128, 128);
        QImage picture(400, 200, QImage::Format_RGB32);
        picture.fill(teal);
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG"));
        m_service->on("GET", "/images/*", Reply::raw(png, "image/png"));
        QTest::mouseClick(child<QRadioButton>("rb_rendered"), Qt::LeftButton);
        auto qelt = makeQelt(id(0), 1000);
        qelt->renderedImageUrl = m_service->baseUrl() + "/images/q.png";
        m_library->addQelt(qelt, true);
        // The middle of the card's picture, as the viewport shows it.
        const auto shown = [this] {
            const QeltGraphicsItem* card = m_frame->cards().value(id(0));
            if (!card || !card->isShown())
                return QColor();
            const QPointF middle(galleryCardWidth / 2.0,
                                 QeltGraphicsItem::kHeaderHeight + galleryCardWidth / 4.0);
            const QPoint at = view()->mapFromScene(card->pos() + middle);
            return view()->viewport()->grab().toImage().pixelColor(at);
        };
        QTRY_COMPARE(shown(), teal);
    }

    void aLoadingPageKeepsItsMessage_data()
    {
        QTest::addColumn<QString>("rebuild");
        QTest::newRow("an image arrives") << "image";
        QTest::newRow("a resize") << "resize";
        QTest::newRow("the library changes") << "library";
    }

    void aLoadingPageKeepsItsMessage()
    {
        QFETCH(QString, rebuild);
        for (int i = 0; i < 60; ++i)
            m_account->add(QStringLiteral("s%1").arg(i), "x");
        andWait([this] { m_frame->setSearchText("x"); });
        m_account->delayNext(AccountCall::Search, 1, -1); // the next page is on its way for good
        child<QPushButton>("but_next")->click();
        if (rebuild == "image")
            emit m_library->imageController()->imageForListDownloaded("s1");
        else if (rebuild == "resize")
            m_frame->resize(700, 600);
        else
            addToLibrary(1);
        settle();
        QCOMPARE(labelText("label"), QStringLiteral("Searching your Qelts..."));
        QCOMPARE(child<QStackedWidget>("stackedView")->currentIndex(), 1);
    }

    void hugeCountsKeepThePagerWhole_data()
    {
        QTest::addColumn<double>("results");
        QTest::newRow("the largest int") << 2147483647.0;
        QTest::newRow("beyond any int") << 1e12;
    }

    void hugeCountsKeepThePagerWhole()
    {
        QFETCH(double, results);
        const FakeQelt& hit = m_account->add("s0", "x");
        m_service->enqueue(
            "POST", "/v1/search/qelts",
            Reply::json({{"results", results},
                         {"hits", QJsonArray{QJsonObject{{"_id", "s0"},
                                                         {"_source", hit.json(m_service->baseUrl())}}}}}));
        andWait([this] { m_frame->setSearchText("x"); });
        QCOMPARE(pagerText(), QStringLiteral("1 / 20000000 Showed 1-50 of 1000000000 qelts"));
        andWait([this] { child<QPushButton>("but_last")->click(); }, 2); // the account has one: back to it
        QCOMPARE(pagerText(), QStringLiteral("1 / 1 Showed 1-1 of 1 qelts"));
        QCOMPARE(m_frame->cards().size(), 1);
    }

    void removedCardsFadeThenGoInOneRebuild_data()
    {
        QTest::addColumn<int>("removedFirst");
        QTest::addColumn<int>("removedWhileFading");
        QTest::addColumn<int>("rebuilds");
        QTest::newRow("one") << 1 << 0 << 1;
        QTest::newRow("three at once") << 3 << 0 << 1;
        QTest::newRow("more while fading") << 1 << 3 << 2;
    }

    void removedCardsFadeThenGoInOneRebuild()
    {
        QFETCH(int, removedFirst);
        QFETCH(int, removedWhileFading);
        QFETCH(int, rebuilds);
        addToLibrary(5);
        const QRectF sceneBefore = m_frame->findChild<QeltsView*>("qelts_view")->sceneRect();
        QSignalSpy laidOut(m_frame.get(), &QeltListFrame::cardsLaidOut);
        const auto remove = [&](int from, int count) {
            for (int i = from; i < from + count; ++i)
                m_library->removeQeltLocally(m_library->qeltById(id(i)), false);
            if (count > 0)
                emit m_library->qeltsCountChanged();
        };
        remove(0, removedFirst);
        QCOMPARE(m_frame->cards().size(), 5); // still there, fading
        remove(removedFirst, removedWhileFading);
        const int left = 5 - removedFirst - removedWhileFading;
        QTRY_COMPARE(m_frame->cards().size(), left);
        QCOMPARE(laidOut.count(), rebuilds);
        QTRY_VERIFY(m_frame->findChild<QeltsView*>("qelts_view")->sceneRect().height() <
                    sceneBefore.height());
    }

    // A cached file that does not decode is not shown blank for ever: the index forgets it, the file goes,
    // and the picture is downloaded again.
    void unreadableCachedImageIsDownloadedAgain_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QByteArray>("cached");
        QTest::newRow("zero bytes, rendered") << "rb_rendered" << QByteArray();
        QTest::newRow("garbage, original") << "rb_original" << QByteArray(500, '\x5a');
        QTest::newRow("cut-off picture, rendered") << "rb_rendered" << png(40, 20).left(40);
    }

    void unreadableCachedImageIsDownloadedAgain()
    {
        QFETCH(QString, mode);
        QFETCH(QByteArray, cached);
        const bool original = mode == "rb_original";
        QTest::mouseClick(child<QRadioButton>(qPrintable(mode)), Qt::LeftButton);
        auto qelt = makeQelt("g", 1000);
        qelt->originalImageUrl = m_service->baseUrl() + "/o.png";
        qelt->renderedImageUrl = m_service->baseUrl() + "/r.png";
        const QString url = original ? qelt->originalImageUrl : qelt->renderedImageUrl;
        m_service->on("GET", QUrl(url).path(), Reply::raw(png(80, 40), "image/png"));
        const QString broken = utils::newImagePath();
        const QString whole = utils::newImagePath() + ".tmp";
        for (const auto& [path, bytes] : {std::pair{broken, cached}, std::pair{whole, png(80, 40)}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        QVERIFY(QFile::rename(whole, whole.chopped(4)));
        // The index as a former run left it: the shown file broken, the full-size original whole.
        const auto entry = [](const QString& file) { return fields(file, qint32(80), qint32(40)); };
        QFile index(QeltsImageController::indexFilePath());
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write(fields(qint32(1), qelt->id) + entry(original ? QString() : broken) +
                    entry(original ? broken : QString()) + entry(original ? whole.chopped(4) : QString()) +
                    fields(qelt->originalImageUrl, qelt->renderedImageUrl));
        index.close();
        QeltsImageController* images = m_library->imageController();
        images->loadIndex();
        m_library->addQelt(qelt, true);

        QeltGraphicsItem* card = m_frame->cards().value("g");
        QVERIFY(card);
        const auto shown = [&] { return original ? card->originalRecord() : card->renderedRecord(); };
        QTRY_VERIFY(!shown().image.isNull());
        QCOMPARE(m_service->requestsTo(QUrl(url).path()).size(), 1);
        QVERIFY(!QFile::exists(broken));
        const ImageEntry now = original ? images->originalListImage("g", url, false)
                                        : images->renderedListImage("g", url, false);
        QVERIFY(now.file != broken && QFileInfo(now.file).dir() == QFileInfo(broken).dir());
        QCOMPARE(shown().image.size(), now.size);
        QCOMPARE(now.size.width(), galleryCardWidth.load());
    }

    void farCardsLeaveTheSceneAndComeBack()
    {
        addToLibrary(40);
        QeltsView* view = m_frame->findChild<QeltsView*>("qelts_view");
        QeltGraphicsItem* top = m_frame->cards().value("q039");
        QeltGraphicsItem* bottom = m_frame->cards().value("q000");
        QVERIFY(top->isShown() && top->scene());
        QVERIFY(!bottom->isShown() && !bottom->scene());

        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        QTRY_VERIFY(bottom->isShown());
        QVERIFY(!top->isShown() && !top->scene());
        view->verticalScrollBar()->setValue(0);
        QTRY_VERIFY(top->isShown() && !bottom->isShown());
    }
};

ZQ_TEST_MAIN(TestGalleryPage)
#include "test_gallery_page.moc"
