#include "api/APIHandler.h"
#include "authoring/pages/QeltCreateFrame.h"
#include "authoring/pages/QeltEditFrame.h"
#include "authoring/pages/TextEditPane.h"
#include "core/identity.h"
#include "core/ui/MessageBox.h"
#include "core/userState.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "support/FakeAccount.h"
#include "support/TestMain.h"
#include "view/bridge/WebViewWrapper.h"

#include <QLabel>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace zq::test;

// The create and edit pages with their real previews, on real controllers and the fake account.
class TestTextPages : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;
    std::unique_ptr<QeltsController> m_library, m_results;
    std::unique_ptr<QeltControllerSwitch> m_switch;
    std::unique_ptr<QeltCreateFrame> m_create;
    std::unique_ptr<QeltEditFrame> m_edit;

    template <typename T> static T* child(QObject* page, const char* name)
    {
        return page->findChild<T*>(QLatin1String(name));
    }
    static void click(QObject* page, const char* button)
    {
        QTest::mouseClick(child<QPushButton>(page, button), Qt::LeftButton);
    }
    static QString status(QObject* page)
    {
        QLabel* label = child<QLabel>(page, "lb_status");
        return label->isVisible() ? label->text() : QString();
    }
    static void type(QObject* page, const QString& text)
    {
        child<QPlainTextEdit>(page, "editor")->insertPlainText(text);
    }

    static QVariant run(TextEditPane* pane, const QString& script)
    {
        auto result = std::make_shared<std::optional<QVariant>>();
        pane->wrapper()->runJavaScript(script, [result](const QVariant& value) { *result = value; });
        (void)QTest::qWaitFor([&] { return result->has_value(); }, kWaitMs);
        return result->value_or(QVariant());
    }

    // A Qelt of the account, known to the library (and to the search results, for mode 1).
    void holdQelt(const QString& id, const QString& latex, const QString& text)
    {
        const auto qelt = ZorvaneQelt::fromJson(m_account->add(id, latex, text).json(m_service->baseUrl()));
        m_library->addQelt(qelt, true);
        m_results->addQelt(std::make_shared<ZorvaneQelt>(*qelt), true);
    }

    QVector<RecordedRequest> patches(const QString& id) { return m_service->requestsTo("/v1/qelts/" + id); }

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<FakeService>();
        m_account = std::make_unique<FakeAccount>(*m_service);
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
        APIHandler::init(&m_manager);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        utils::setAuthInfo(QStringLiteral("me@example.org"), QStringLiteral("t0k"));
        m_library = std::make_unique<QeltsController>(nullptr, &m_manager);
        m_results = std::make_unique<QeltsController>(nullptr, &m_manager);
        for (QeltsController* controller : {m_library.get(), m_results.get()})
            controller->setUser("me@example.org", "t0k");
        m_switch = std::make_unique<QeltControllerSwitch>(m_library.get(), m_results.get());
        m_create = std::make_unique<QeltCreateFrame>(m_switch.get(), nullptr);
        m_edit = std::make_unique<QeltEditFrame>(m_switch.get(), nullptr);
        for (QWidget* page : {static_cast<QWidget*>(m_create.get()), static_cast<QWidget*>(m_edit.get())}) {
            page->resize(700, 520);
            page->show();
            QVERIFY(QTest::qWaitForWindowExposed(page, kWaitMs));
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_create->pane()->wrapper()->isLoaded(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_edit->pane()->wrapper()->isLoaded(), kWaitMs);
    }

    void init()
    {
        m_switch->setMode(1);
        m_create->setCreateWait(QeltCreateFrame::kCreateWaitMs);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        m_service->clearRequests();
        for (QWidget* page : {static_cast<QWidget*>(m_create.get()), static_cast<QWidget*>(m_edit.get())})
            QTRY_VERIFY_WITH_TIMEOUT(!page->findChild<TextEditPane*>()->wrapper()->isApplying(), kWaitMs);
    }

    void cleanupTestCase()
    {
        m_create.reset();
        m_edit.reset();
        m_library->setUser(QString(), QString());
        utils::overrideBaseUrlsForTesting(QString());
        APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt);
    }

    void createdQeltArrivesInTheLibrary_data()
    {
        QTest::addColumn<bool>("markdown");
        QTest::addColumn<QString>("text");
        QTest::newRow("markdown") << true << "Sum of $x^2$ and *y*\n\n| a | b |";
        QTest::newRow("latex") << false << "\\frac{a}{b} + \\sqrt{2} \"quoted\" 'single'";
        QTest::newRow("beyond the basic plane") << true << QString::fromUtf8("𝔸 ≠ 😀 \u200b\t end");
        QTest::newRow("markup") << true << "<script>window.pwned = 1</script><b>bold</b>";
        QTest::newRow("huge") << true << QString("word ").repeated(40000) + "$x^2$";
    }

    void createdQeltArrivesInTheLibrary()
    {
        QFETCH(bool, markdown);
        QFETCH(QString, text);
        m_create->reset(markdown);
        QSignalSpy created(m_library.get(), &QeltsController::showCreatedQelt);
        type(m_create.get(), " \n\t "); // nothing to make a Qelt of
        click(m_create.get(), "but_save");
        QVERIFY(!m_create->isWaiting() && !child<QPushButton>(m_create.get(), "but_save")->isEnabled());
        m_create->reset(markdown);
        type(m_create.get(), text);
        click(m_create.get(), "but_save");
        click(m_create.get(), "but_save"); // the same text is not sent twice
        QCOMPARE(m_switch->mode(), 0);
        QVERIFY(m_create->isWaiting() && !child<QPushButton>(m_create.get(), "but_save")->isEnabled());
        QTRY_COMPARE(created.count(), 1);

        const auto sent = m_service->requestsTo("/v1/qelts/text");
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first().json().value(markdown ? "text" : "latex").toString(), text);
        QCOMPARE(sent.first().json().value(markdown ? "latex" : "text").toString(), QString());
        const ZorvaneQeltPtr qelt = m_library->qeltById(created.first().first().toString());
        QVERIFY(qelt);
        QCOMPARE(markdown ? qelt->text : qelt->latex, text);
        QCOMPARE(m_create->pane()->text(), QString());
        QVERIFY(!m_create->isWaiting() && status(m_create.get()).isEmpty());
    }

    void failedCreateKeepsTheText_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        const QString notYet = "Your Qelt has not arrived yet. Your text is kept: you can try again.";
        QTest::newRow("server error") << 0 << notYet;
        QTest::newRow("connection dropped") << 1 << notYet;
        QTest::newRow("offline")
            << 2 << "No network connection. Your text is kept: try again when you are online.";
    }

    void failedCreateKeepsTheText()
    {
        QFETCH(int, fault);
        QFETCH(QString, message);
        if (fault == 0)
            m_account->failNext(AccountCall::Create, 1, 500);
        else if (fault == 1)
            m_account->closeNext(AccountCall::Create, 1);
        else
            APIHandler::overrideNetworkAvailabilityForTesting(false);
        m_create->reset(true);
        m_create->setCreateWait(200); // a failed create says nothing: the page stops waiting on its own
        type(m_create.get(), "kept text");
        click(m_create.get(), "but_save");
        QTRY_COMPARE(status(m_create.get()), message);
        QCOMPARE(m_create->pane()->text(), QStringLiteral("kept text"));
        QCOMPARE(m_service->requestsTo("/v1/qelts/text").size(), fault == 2 ? 0 : 1);

        APIHandler::overrideNetworkAvailabilityForTesting(true);
        QSignalSpy created(m_library.get(), &QeltsController::showCreatedQelt);
        QTRY_VERIFY(child<QPushButton>(m_create.get(), "but_save")->isEnabled());
        click(m_create.get(), "but_save");
        QTRY_COMPARE(created.count(), 1);
        QCOMPARE(m_create->pane()->text(), QString());
    }

    // The page stopped waiting, then the Qelt came after all: "try again" would make a second one.
    void qeltArrivingAfterTheWaitEndsIt()
    {
        m_account->delayNext(AccountCall::Create, 1, 600);
        m_create->reset(true);
        m_create->setCreateWait(100);
        type(m_create.get(), "slow text");
        QSignalSpy created(m_library.get(), &QeltsController::showCreatedQelt);
        click(m_create.get(), "but_save");
        QTRY_VERIFY(status(m_create.get()).startsWith("Your Qelt has not arrived yet."));
        QVERIFY(created.isEmpty());
        QTRY_COMPARE(created.count(), 1);
        QCOMPARE(status(m_create.get()), QString());
        QCOMPARE(m_create->pane()->text(), QString());
    }

    void textTypedWhileWaitingIsKept()
    {
        m_create->reset(false);
        type(m_create.get(), "a+b");
        QSignalSpy created(m_library.get(), &QeltsController::showCreatedQelt);
        click(m_create.get(), "but_save");
        type(m_create.get(), "+c"); // before any answer can come: the event loop has not run
        QVERIFY(child<QPushButton>(m_create.get(), "but_save")->isEnabled());
        QTRY_COMPARE(created.count(), 1);
        QCOMPARE(m_library->qeltById(created.first().first().toString())->latex, QStringLiteral("a+b"));
        QCOMPARE(m_create->pane()->text(), QStringLiteral("a+b+c"));
        QVERIFY(!m_create->isMarkdown());
    }

    void previewEndsOnTheLatestText()
    {
        m_create->reset(true);
        TextEditPane* pane = m_create->pane();
        QTRY_VERIFY(!pane->wrapper()->isApplying());
        QSignalSpy rendered(pane->wrapper(), &WebViewWrapper::resultApplied);
        QSignalSpy updated(pane, &TextEditPane::previewUpdated);
        for (const char* word : {"one ", "two ", "three ", "<img src=x onerror=\"window.pwned=1\">",
                                 "<script>window.pwned=2</script> last"})
            type(m_create.get(), word);
        QTRY_VERIFY(!updated.isEmpty());
        QCOMPARE(pane->shownText(), m_create->pane()->text());
        QVERIFY(rendered.count() <= 2); // a burst costs the first text and the last one
        QVERIFY(run(pane, "document.getElementById('content').textContent").toString().contains("three"));
        QCOMPARE(run(pane, "typeof window.pwned").toString(), QStringLiteral("undefined"));

        updated.clear();
        QTest::mouseClick(child<QRadioButton>(m_create.get(), "cb_latex"), Qt::LeftButton);
        QTRY_VERIFY(!updated.isEmpty());
        QVERIFY(!pane->shownAsMarkdown() && !m_create->isMarkdown());
    }

    void editIsWrittenBackAndSentBySync_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("latex");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QString>("sentLatex");
        QTest::addColumn<QString>("sentText");
        QTest::newRow("text") << 0 << false << "$x^2$"
                              << ""
                              << "$y^3$ 😀";
        QTest::newRow("latex") << 0 << true << "x^2"
                               << "y^3 😀"
                               << "$y^3 😀$";
        QTest::newRow("text of a search result") << 1 << false << "$x^2$"
                                                 << ""
                                                 << "$y^3$ 😀";
    }

    void editIsWrittenBackAndSentBySync()
    {
        QFETCH(int, mode);
        QFETCH(bool, latex);
        QFETCH(QString, loaded);
        QFETCH(QString, sentLatex);
        QFETCH(QString, sentText);
        const QString id = QStringLiteral("edit%1%2").arg(mode).arg(latex);
        holdQelt(id, "x^2", "$x^2$");
        m_switch->setMode(mode);
        latex ? m_edit->editQeltAlt(id) : m_edit->editQelt(id);
        QCOMPARE(m_edit->pane()->text(), loaded);
        QSignalSpy back(m_edit.get(), &QeltEditFrame::WantBack);
        m_edit->pane()->setText(latex ? "y^3 😀" : "$y^3$ 😀");
        click(m_edit.get(), "but_save");
        QCOMPARE(back.count(), 1);
        // Changed here at once; the service hears of it through the controller's sync.
        const ZorvaneQeltPtr qelt = m_switch->current()->qeltById(id);
        QCOMPARE(latex ? m_switch->current()->latexOf(qelt) : m_switch->current()->textOf(qelt),
                 latex ? sentLatex : sentText);
        QTRY_COMPARE(m_account->find(id)->text, sentText);
        QCOMPARE(m_account->find(id)->latex, sentLatex);
        QCOMPARE(patches(id).size(), 1);
        QCOMPARE(patches(id).first().method, QByteArray("PATCH"));
    }

    void editThatCannotBeSavedLosesNothing()
    {
        holdQelt("gone1", "x", "$x$");
        holdQelt("same1", "x", "$x$");
        m_switch->setMode(0);
        QSignalSpy back(m_edit.get(), &QeltEditFrame::WantBack);
        m_edit->editQelt("same1");
        click(m_edit.get(), "but_save"); // nothing changed: back, and nothing sent
        QCOMPARE(back.count(), 1);

        m_edit->editQelt("gone1");
        m_edit->pane()->setText("my long edit");
        m_library->removeQeltLocally(m_library->qeltById("gone1"), false);
        click(m_edit.get(), "but_save");
        QCOMPARE(back.count(), 1);
        QCOMPARE(m_edit->pane()->text(), QStringLiteral("my long edit"));
        QVERIFY(status(m_edit.get()).startsWith("This Qelt is no longer in your library."));
        QVERIFY(!child<QPushButton>(m_edit.get(), "but_save")->isEnabled());

        m_edit->editQeltAlt("never-there");
        QVERIFY(m_edit->pane()->text().isEmpty());
        QCOMPARE(status(m_edit.get()), QStringLiteral("This Qelt is no longer in your library."));
        QVERIFY(!child<QPushButton>(m_edit.get(), "but_save")->isEnabled());
        QCoreApplication::processEvents();
        QCOMPARE(patches("same1").size() + patches("gone1").size(), 0);
    }

    void leavingAnEditAsksFirst_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("left");
        QTest::newRow("back, unchanged") << "but_back" << false << int(QMessageBox::No) << true;
        QTest::newRow("back, changed, stay") << "but_back" << true << int(QMessageBox::No) << false;
        QTest::newRow("cancel, changed, leave") << "but_cancel" << true << int(QMessageBox::Yes) << true;
    }

    void leavingAnEditAsksFirst()
    {
        QFETCH(QString, button);
        QFETCH(bool, modified);
        QFETCH(int, answer);
        QFETCH(bool, left);
        holdQelt("ask1", "x", "$x$");
        m_switch->setMode(0);
        m_edit->editQelt("ask1");
        if (modified)
            type(m_edit.get(), " more");
        MessageBox::setNextAnswer(QMessageBox::StandardButton(answer));
        QSignalSpy back(m_edit.get(), &QeltEditFrame::WantBack);
        click(m_edit.get(), qPrintable(button));
        QCOMPARE(back.count(), left ? 1 : 0);
        MessageBox::setNextAnswer(QMessageBox::NoButton);
        m_edit->reset();
        QVERIFY(m_edit->qeltId().isEmpty() && m_edit->pane()->text().isEmpty());
    }

    void pagesLeadOnAndShrinkWhenLeft_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("signal");
        QTest::newRow("screenshot") << "but_take_qelt" << QByteArray(SIGNAL(makeScreenshot()));
        QTest::newRow("upload") << "but_upload_qelt" << QByteArray(SIGNAL(uploadQelt()));
        QTest::newRow("drawing") << "but_handwrite_qelt" << QByteArray(SIGNAL(handwriteQelt()));
        QTest::newRow("gallery") << "but_show_list" << QByteArray(SIGNAL(showQeltList()));
        QTest::newRow("pdf") << "but_show_pdf_converter" << QByteArray(SIGNAL(convertPDF()));
        QTest::newRow("menu") << "but_settings" << QByteArray(SIGNAL(showContextMenu(QPoint)));
        QTest::newRow("edit page menu") << "edit:but_settings" << QByteArray(SIGNAL(ShowContextMenu(QPoint)));
    }

    void pagesLeadOnAndShrinkWhenLeft()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, signal);
        QWidget* page = button.startsWith("edit:") ? static_cast<QWidget*>(m_edit.get()) : m_create.get();
        QPushButton* pushed = child<QPushButton>(page, qPrintable(button.section(':', -1)));
        QSignalSpy spy(page, signal.constData());
        QTest::mouseClick(pushed, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        if (signal.contains("QPoint"))
            QCOMPARE(spy.first().first().toPoint(), pushed->mapToGlobal(QPoint(0, pushed->height() + 2)));

        auto* editor = child<QPlainTextEdit>(page, "editor");
        page == m_edit.get() ? m_edit->collapseEditPane() : m_create->collapseEditPane();
        page->hide();
        QCOMPARE(editor->minimumHeight(), 1);
        page->show();
        QCOMPARE(editor->minimumHeight(), TextEditPane::kEditorMinimumHeight);
    }
};

ZQ_TEST_MAIN(TestTextPages)
#include "test_text_pages.moc"
