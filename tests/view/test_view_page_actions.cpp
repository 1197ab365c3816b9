// The view page's service actions as the user meets them, with the real editor page and the real report
// dialog: the DOCX button, the Solver tab, the thumbs and their report, deletion, and the chat column.

#include "ViewPageHarness.h"
#include "core/settings.h"
#include "core/ui/MessageBox.h"
#include "dialogs/ReportDialog.h"
#include "support/TestMain.h"
#include "view/chat/ui/QeltChatItemFrame.h"
#include "view/feedback/RatingFlow.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QRegularExpression>
#include <QStackedWidget>

using namespace zq::test;

Q_DECLARE_METATYPE(zq::test::Reply)

namespace {

const QString kFormula = QStringLiteral("\\frac{a+b}{2}");

QByteArray sse(const QString& answer)
{
    const QJsonObject payload{{"generative", QJsonObject{{"type", "text"}, {"data", answer}}}};
    return "data: " + QJsonDocument(payload).toJson(QJsonDocument::Compact) + "\n\n";
}

QJsonObject exchange(const QString& query, const QString& answer)
{
    const auto part = [](const QString& text) {
        return QString(
            QJsonDocument(QJsonObject{{"type", "text"}, {"data", text}}).toJson(QJsonDocument::Compact));
    };
    return QJsonObject{{"id", query}, {"query", part(query)}, {"answer", part(answer)}};
}

// Where the desktop was asked to open a file.
class Opener : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

// Runs `answer` on the next modal window that opens while `action` runs.
void onModal(const std::function<void()>& action, const std::function<void(QWidget*)>& answer)
{
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll.stop();
            answer(modal);
        }
    });
    poll.start(10);
    action();
}

} // namespace

class TestViewPageActions : public QObject
{
    Q_OBJECT

    std::unique_ptr<ViewPageHarness> h;
    Opener opener;
    int serial = 0;

    ZorvaneQeltPtr fresh(const QString& latex = kFormula)
    {
        return h->add(QStringLiteral("q-%1").arg(++serial), latex,
                      latex.isEmpty() ? "just text" : "$" + latex + "$");
    }
    QVector<RecordedRequest> sent(const char* path) const { return h->service.requestsTo(path); }
    QList<QPushButton*> thumbs() const
    {
        return {h->widget<QPushButton>("but_thumbs_up"), h->widget<QPushButton>("but_thumbs_down")};
    }
    QPushButton* tellUsWhy() const
    {
        for (QPushButton* button : h->page->findChildren<QPushButton*>())
            if (button->text() == "Tell us why!")
                return button;
        return nullptr;
    }
    bool tellUsWhyShown() const { return tellUsWhy()->isVisible(); }
    QList<QeltChatItemFrame*> bubbles() const
    {
        return h->widget<QWidget>("qeltChatScrollAreaWidgetContents")
            ->findChildren<QeltChatItemFrame*>(QString(), Qt::FindDirectChildrenOnly);
    }
    // What a web view of the page shows.
    QString viewText(const char* view) const
    {
        QWebEnginePage* page = h->widget<QWebEngineView>(view)->page();
        auto text = std::make_shared<QString>();
        auto done = std::make_shared<bool>(false);
        page->runJavaScript("document.body.innerText", [text, done](const QVariant& v) {
            *text = v.toString().trimmed();
            *done = true;
        });
        waitUntil([done] { return *done; });
        return *text;
    }

private slots:
    void initTestCase()
    {
        clearSettings();
        RatingFlow::setIntervalsForTesting(RatingFlow::Intervals{10, 60000, 10, 300});
        h = std::make_unique<ViewPageHarness>();
        h->page->setReportDialogFactory(
            [](QWidget* parent, const QString& id) { return new ReportDialog(parent, id); });
        h->service.on("POST", "/v1/user/ocr_feedback", Reply::json({}));
        h->service.on("PATCH", "/v1/user/settings", Reply::json({}));
        QDesktopServices::setUrlHandler("file", &opener, "open");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler("file");
        h.reset();
    }

    void init()
    {
        kKeyLastTabName.set(QStringLiteral("OCR"));
        kKeyShowOCRFeedback.set(false);
        h->service.clearRequests();
    }

    // Before any Qelt: nothing is exported, rated or deleted.
    void nothingShownNothingDone()
    {
        QSignalSpy removed(h->page, &QeltViewFrame::WantRemoveQelt);
        QCOMPARE(ViewPageHarness::boxOpenedBy([this] { h->page->OpenDocx(); }), QString("Nothing to export"));
        QCOMPARE(ViewPageHarness::boxOpenedBy([this] { h->page->DeleteQelt(); }), QString());
        h->page->ThumbsUp();
        QVERIFY(removed.isEmpty());
        QCOMPARE(h->service.requestCount(), 0);
    }

    void docxButtonExportsOpensOrWarns_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("box");
        QTest::newRow("document") << Reply::raw("PK\x03\x04 doc") << "";
        QTest::newRow("error in a success")
            << Reply::json({{"errors", QJsonArray{QJsonObject{{"id", "x"}, {"message", "y"}}}}})
            << "Something went wrong. Please check your network connection and try again.";
    }

    void docxButtonExportsOpensOrWarns()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, box);
        h->service.on("POST", "/v1/export/docx", reply.withDelay(100));
        QVERIFY(h->showSettled(fresh()));
        opener.opened.clear();
        auto* button = h->widget<QPushButton>("but_open_docx");
        button->click();
        QVERIFY(!button->isEnabled());
        QCOMPARE(ViewPageHarness::boxOpenedBy([button] { QTRY_VERIFY(button->isEnabled()); }), box);
        QCOMPARE(opener.opened.size(), int(box.isEmpty()));
        if (box.isEmpty())
            QVERIFY(QRegularExpression("/Downloads/Doc\\d+\\.docx$")
                        .match(opener.opened.first().toLocalFile())
                        .hasMatch());
    }

    // Solved on the first visit of the tab for a Qelt, shown and copied; a Qelt without LaTeX or a
    // machine without network sends nothing. The retry page offers no copy: there is no solution of the
    // shown Qelt to copy, whatever an earlier Qelt's was.
    void solverTabSolvesOncePerQelt_data()
    {
        QTest::addColumn<QString>("latex");
        QTest::addColumn<bool>("network");
        QTest::addColumn<bool>("reachable");    // the service answers
        QTest::addColumn<bool>("solvedBefore"); // another Qelt's solution was shown first
        QTest::addColumn<QString>("shown");     // in the solution view; empty: the retry page
        QTest::addColumn<int>("requests");
        QTest::newRow("solved") << kFormula << true << true << false << "x = 1" << 1;
        QTest::newRow("no latex") << QString() << true << true << false << "No solution available." << 0;
        QTest::newRow("offline") << kFormula << false << true << false << QString() << 0;
        QTest::newRow("offline after another's solution")
            << kFormula << false << true << true << QString() << 0;
        QTest::newRow("unreachable after another's solution")
            << kFormula << true << false << true << QString() << 1;
    }

    void solverTabSolvesOncePerQelt()
    {
        QFETCH(QString, latex);
        QFETCH(bool, network);
        QFETCH(bool, reachable);
        QFETCH(bool, solvedBefore);
        QFETCH(QString, shown);
        QFETCH(int, requests);
        auto* copy = h->widget<QPushButton>("but_copySolution");
        if (solvedBefore) {
            QVERIFY(h->showSettled(fresh("y+1=2")));
            h->page->SelectTab(h->tabTitles().indexOf("Solver"), true, false);
            QVERIFY(waitUntil([&] { return viewText("markdown_view") == "x = 1"; }));
            QVERIFY(copy->isVisible());
            h->service.clearRequests();
        }
        QVERIFY(h->showSettled(fresh(latex)));
        APIHandler::overrideNetworkAvailabilityForTesting(network);
        if (!reachable)
            h->service.on("POST", "/v1/solve", Reply::raw(""));
        auto* stack = h->widget<QStackedWidget>("solverWidget");
        const int solverTab = h->tabTitles().indexOf("Solver");
        h->page->SelectTab(solverTab, true, false);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        QTRY_COMPARE(stack->currentIndex(), shown.isEmpty() ? 1 : 0);
        QVERIFY(waitUntil([&] { return shown.isEmpty() || viewText("markdown_view") == shown; }));
        if (network)
            QCOMPARE(copy->isVisible(), requests > 0 && reachable);
        if (requests && reachable) {
            copy->click();
            QCOMPARE(QGuiApplication::clipboard()->text(), shown);
        }
        if (shown.isEmpty()) {
            QVERIFY(copy->isHidden());
            QGuiApplication::clipboard()->setText("kept");
            h->page->CopySolution();
            QCOMPARE(QGuiApplication::clipboard()->text(), QString("kept"));
            QVERIFY(h->widget<QLabel>("lb_solvercopied")->isHidden());
        }
        // Back again: the solution stands, nothing is asked again.
        h->page->SelectTab(0, true, false);
        h->page->SelectTab(solverTab, true, false);
        QCOMPARE(sent("/v1/solve").size(), requests);
        h->service.on("POST", "/v1/solve", Reply::json(QJsonObject{{"summary", "x = 1"}}));
        if (shown.isEmpty()) {
            h->widget<QPushButton>("but_retry")->click();
            QTRY_COMPARE(sent("/v1/solve").size(), requests + 1);
            QTRY_COMPARE(stack->currentIndex(), 0);
            QVERIFY(waitUntil([&] { return viewText("markdown_view") == "x = 1"; }));
            QTRY_VERIFY(copy->isVisible());
        }
    }

    // Each Qelt shows its own rating again; a thumbs-down without its reason offers "Tell us why!".
    void thumbsShowEachQeltsRating()
    {
        const auto up = fresh(), down = fresh(), none = fresh();
        QVERIFY(h->showSettled(up));
        thumbs().at(0)->click();
        h->page->ShowQelt(down); // before the rating settles: it stays the first Qelt's
        thumbs().at(1)->click();
        QTRY_COMPARE(sent("/v1/user/ocr_feedback").size(), 1);
        QCOMPARE(sent("/v1/user/ocr_feedback").first().json(),
                 (QJsonObject{{"qelt_id", up->id}, {"ocr_feedback", 1}}));
        QTRY_VERIFY(tellUsWhyShown());
        struct Expected
        {
            ZorvaneQeltPtr qelt;
            bool upChecked, downChecked, enabled, why;
        };
        for (const Expected& e :
             {Expected{none, false, false, true, false}, Expected{up, true, false, false, false},
              Expected{down, false, true, false, true}}) {
            QVERIFY(h->showSettled(e.qelt));
            QCOMPARE(thumbs().at(0)->isChecked(), e.upChecked);
            QCOMPARE(thumbs().at(1)->isChecked(), e.downChecked);
            QCOMPARE(thumbs().at(0)->isEnabled(), e.enabled);
            QCOMPARE(thumbs().at(1)->isEnabled(), e.enabled);
            QCOMPARE(tellUsWhyShown(), e.why);
        }
        QCOMPARE(sent("/v1/user/ocr_feedback").size(), 1); // the thumbs-down waits for its reason
    }

    // The report dialog asks at once: cancelled, the bare thumbs-down goes and the reason stays asked for;
    // sent, the report is the rating.
    void reportDialogDecidesWhatIsSent()
    {
        kKeyShowOCRFeedback.set(true);
        const auto qelt = fresh();
        QVERIFY(h->showSettled(qelt));
        QString askedFor;
        onModal(
            [this] {
                thumbs().at(1)->click();
                QTRY_COMPARE(sent("/v1/user/ocr_feedback").size(), 1);
            },
            [&](QWidget* modal) {
                askedFor = qobject_cast<ReportDialog*>(modal)->qeltId();
                modal->findChild<QPushButton*>("but_cancel")->click();
            });
        QCOMPARE(askedFor, qelt->id);
        QCOMPARE(sent("/v1/user/ocr_feedback").first().json(),
                 (QJsonObject{{"qelt_id", qelt->id}, {"ocr_feedback", 0}}));
        QVERIFY(tellUsWhyShown());

        onModal([this] { tellUsWhy()->click(); },
                [](QWidget* modal) {
                    modal->findChild<QCheckBox*>("cb_recognition")->setChecked(true);
                    modal->findChild<QPushButton*>("but_send")->click();
                });
        QTRY_COMPARE(sent("/v1/user/ocr_feedback").size(), 2);
        QCOMPARE(sent("/v1/user/ocr_feedback")
                     .last()
                     .json()
                     .value("mistake_category")
                     .toObject()
                     .value("recognition"),
                 QJsonValue(true));
        QVERIFY(!tellUsWhyShown());
    }

    // Asked once more before a rating; yes sends the permission first, the rating after it.
    void improvePromptComesBeforeTheRating()
    {
        kKeyImproveZorvaneOCR.set(false);
        kKeyShowImproveMessage.set(true);
        QVERIFY(h->showSettled(fresh()));
        QString title;
        onModal(
            [this] {
                thumbs().at(0)->click();
                QTRY_COMPARE(sent("/v1/user/ocr_feedback").size(), 1);
            },
            [&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                title = box->windowTitle();
                box->checkBox()->setChecked(true);
                for (QAbstractButton* button : box->buttons())
                    if (button->text().contains("Yes"))
                        button->click();
            });
        QCOMPARE(title, QString("Help Improve Zorvane"));
        QCOMPARE(sent("/v1/user/settings").first().json(), QJsonObject({{"improve_zorvane", true}}));
        QVERIFY(!kKeyShowImproveMessage.get());
        kKeyImproveZorvaneOCR.set(true);
    }

    void deletionAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("removed");
        QTest::newRow("delete") << int(QMessageBox::Yes) << true;
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
    }

    void deletionAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(bool, removed);
        const auto qelt = fresh();
        QVERIFY(h->showSettled(qelt));
        QSignalSpy spy(h->page, &QeltViewFrame::WantRemoveQelt);
        MessageBox::setNextAnswer(QMessageBox::StandardButton(answer));
        h->widget<QPushButton>("but_delete")->click();
        QCOMPARE(spy.size(), int(removed));
        if (removed)
            QCOMPARE(spy.first().first().toString(), qelt->id);
    }

    // The column holds the Qelt's picture and its history oldest first; a question streams its answer
    // into the bubble under it.
    void chatColumnFollowsTheQelt()
    {
        const auto qelt = fresh();
        h->service.on(
            "GET", "/v4/qelts/" + qelt->id + "/chat",
            Reply::json({{"data", QJsonArray{exchange("newer?", "yes"), exchange("older?", "no")}}}));
        h->service.on("POST", "/v4/qelt-chat", Reply::eventStream({sse("a"), sse("a b")}, 50));
        h->service.on("DELETE", "/v4/qelts/*", Reply::json({}));
        QVERIFY(h->showSettled(qelt));
        QTRY_COMPARE(bubbles().size(), 5);
        QCOMPARE(bubbles().at(1)->promptText(), QString("older?"));
        QCOMPARE(bubbles().at(4)->responseText(), QString("yes"));
        QTRY_COMPARE(bubbles().first()->imageSize(), QSize(500, 250)); // the 60 x 30 original
        h->page->LoadChatHistory();
        QVERIFY(!h->widget<QWidget>("qeltChatFooter")->isEnabled());
        QTRY_COMPARE(bubbles().size(), 5);
        QTRY_VERIFY(h->widget<QWidget>("qeltChatFooter")->isEnabled());

        auto* input = h->widget<QLineEdit>("edit_query");
        h->page->SendChatMessage(); // empty: nothing
        input->setText("<b>why</b>?");
        h->page->SendChatMessage();
        QVERIFY(!h->widget<QWidget>("qeltChatFooter")->isEnabled());
        QCOMPARE(bubbles().at(5)->promptText(), QString("<b>why</b>?"));
        QTRY_COMPARE(bubbles().at(6)->responseText(), QString("a b"));
        QTRY_VERIFY(h->widget<QWidget>("qeltChatFooter")->isEnabled());
        QCOMPARE(sent("/v4/qelt-chat").size(), 1);
        QCOMPARE(sent("/v4/qelt-chat").first().json(), (QJsonObject{{"query", "<b>why</b>?"},
                                                                    {"qelt_id", qelt->id},
                                                                    {"qelt_content", "$" + kFormula + "$"}}));

        // A failed answer says why in its bubble; clearing leaves the picture alone.
        h->service.enqueue("POST", "/v4/qelt-chat", Reply::text(500));
        input->setText("again?");
        h->page->SendChatMessage();
        QTRY_VERIFY(bubbles().last()->responseText().startsWith("Send message failed, net error: "));
        h->page->ClearChat();
        QCOMPARE(bubbles().size(), 1);
        QTRY_VERIFY(h->widget<QWidget>("qeltChatFooter")->isEnabled());
        QCOMPARE(h->service.requestsTo("/v4/qelts/" + qelt->id + "/chat").size(), 3); // two loads, the clear
    }
};

ZQ_TEST_MAIN(TestViewPageActions)
#include "test_view_page_actions.moc"
