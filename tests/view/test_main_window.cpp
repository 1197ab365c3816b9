#include "MainWindowHarness.h"

#include "api/APIHandler.h"
#include "api/Provider.h"
#include "authoring/StrokeModel.h"
#include "authoring/pages/HandwriteView.h"
#include "authoring/pages/QeltCreateFrame.h"
#include "authoring/pages/QeltEditFrame.h"
#include "authoring/pages/QeltHandwriteFrame.h"
#include "authoring/pages/TextEditPane.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/ui/MessageBox.h"
#include "core/userState.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "library/gallery/QeltListFrame.h"
#include "pdf/PdfConverterFrame.h"
#include "support/FakeAccount.h"
#include "support/TestMain.h"
#include "view/page/QeltViewFrame.h"
#include "view/window/LatexResultDialog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QJsonArray>
#include <QLineEdit>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>

using namespace zq::test;

namespace {

// Emits `signature` of `sender` with `args`, as the page itself would.
bool emitSignal(QObject* sender, const QByteArray& signature, const QVariantList& args)
{
    const int index = sender->metaObject()->indexOfSignal(
        QMetaObject::normalizedSignature(signature.constData()).constData());
    if (index < 0 || args.size() > 3)
        return false;
    QGenericArgument given[3];
    for (int i = 0; i < args.size(); ++i)
        given[i] = QGenericArgument(args[i].typeName(), args[i].constData());
    return sender->metaObject()->method(index).invoke(sender, Qt::DirectConnection, given[0], given[1],
                                                      given[2]);
}

// Answers the display-change prompts that open while it lives: first `script` with the box, then the box is
// closed by the button whose text is `button`. Counts the prompts it saw.
class PromptUser : public QObject
{
public:
    PromptUser(std::function<bool(QMessageBox*)> script, QString button)
        : m_script(std::move(script)), m_button(std::move(button))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (!m_seen.contains(box)) {
                m_seen << box;
                texts << box->text();
            }
            if (!m_script(box))
                return;
            for (QAbstractButton* candidate : box->buttons()) {
                if (candidate->text() == m_button)
                    candidate->click();
            }
        });
        m_timer.start(10);
    }

    QStringList texts;

private:
    std::function<bool(QMessageBox*)> m_script;
    QString m_button;
    QList<QMessageBox*> m_seen;
    QTimer m_timer;
};

} // namespace

// The main window's pages, their switching and what they keep, on real controllers and the fake account.
class TestMainWindow : public QObject, public MainWindowFixture
{
    Q_OBJECT

    // The user request that `action` starts; null when it starts none.
    QNetworkReply* newUserRequest(const std::function<void()>& action)
    {
        const QList<QNetworkReply*> before = m_manager.findChildren<QNetworkReply*>();
        action();
        for (QNetworkReply* reply : m_manager.findChildren<QNetworkReply*>()) {
            if (!before.contains(reply) && reply->url().path() == QLatin1String("/v1/user"))
                return reply;
        }
        return nullptr;
    }

    // A pointer event on the pad's paper; step 0 presses, 1 moves, 2 releases.
    void drawOnPad(const QList<QPointF>& stroke)
    {
        QWidget* paper = m_window->handwritePage()->view()->viewport();
        for (int i = 0; i <= stroke.size(); ++i) {
            const QPointF at = stroke[qMin(i, stroke.size() - 1)];
            const QEvent::Type type = i == 0               ? QEvent::MouseButtonPress
                                      : i == stroke.size() ? QEvent::MouseButtonRelease
                                                           : QEvent::MouseMove;
            const QPointF global = QPointF(paper->mapToGlobal(QPoint())) + at;
            QMouseEvent event(type, at, at, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(paper, &event);
        }
    }

private slots:
    void initTestCase() { setUpWindow(); }
    void init() { resetWindow(); }
    void cleanupTestCase() { tearDownWindow(); }

    void showingTheGallery_data()
    {
        QTest::addColumn<bool>("hidden");
        QTest::newRow("visible") << false;
        QTest::newRow("hidden stays hidden") << true;
    }

    void showingTheGallery()
    {
        QFETCH(bool, hidden);
        m_window->ShowGallery();
        m_window->FitToScreen(QRect(500, 100, 800, 600));
        emit m_window->editPage()->WantBack(); // the view page, whose size is its own
        m_window->FitToScreen(QRect(500, 100, 1000, 600));
        if (hidden)
            m_window->hide();
        QSignalSpy shown(m_window.get(), &LatexResultDialog::Shown);
        m_window->ShowGallery();
        QCOMPARE(m_window->currentPage(), 0);
        QCOMPARE(m_window->windowTitle(), title(0));
        QCOMPARE(m_window->isVisible(), !hidden);
        QCOMPARE(shown.count(), 0);
        if (!hidden)
            QCOMPARE(m_window->geometry(), QRect(600, 100, 800, 600));
    }

    void pagesSwitchOnTheirSignals_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QByteArray>("signal");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<int>("page"); // -1: the page stays
        QTest::addColumn<QByteArray>("passedOn");
        const QVariantList none;
        const QVariantList point{QPoint(5, 6)};
        const QVariantList id{QStringLiteral("switch1")};
        const auto row = [](const char* sender, const char* signal) -> QTestData& {
            return QTest::addRow("%s %s", sender, signal) << QString(sender) << QByteArray(signal);
        };
        row("view", "ButBackClicked()") << none << 0 << QByteArray();
        row("view", "SearchClicked(QString)") << QVariantList{QStringLiteral("x^2")} << 0 << QByteArray();
        row("view", "WantRemoveQelt(QString)") << id << -1 << QByteArray("WantRemoveQelt(QString)");
        row("view", "MakeScreenshot()") << none << -1 << QByteArray("MakeScreenshot()");
        row("view", "EditQeltText(QString)") << id << 2 << QByteArray();
        row("view", "EditQeltLatex(QString)") << id << 2 << QByteArray();
        row("view", "ShowContextMenu(QPoint)") << point << -1 << QByteArray("ShowContextMenu(QPoint)");
        row("view", "PopupSettings(int)") << QVariantList{2} << -1 << QByteArray("PopupSettings(int)");
        row("view", "UploadQelt()") << none << -1 << QByteArray("UploadQelt()");
        row("view", "CreateQelt()") << none << 3 << QByteArray();
        row("view", "ConvertPDF()") << none << 5 << QByteArray();
        row("view", "HandwriteQelt()") << none << 4 << QByteArray();
        row("library", "showCreatedQelt(QString)") << id << 1 << QByteArray();
        row("edit", "WantBack()") << none << 1 << QByteArray();
        row("edit", "ShowContextMenu(QPoint)") << point << -1 << QByteArray("ShowContextMenu(QPoint)");
        row("gallery", "showQelt(QString)") << id << 1 << QByteArray();
        row("gallery", "showContextMenu(QPoint)") << point << -1 << QByteArray("ShowContextMenu(QPoint)");
        row("gallery", "makeScreenshot()") << none << -1 << QByteArray("MakeScreenshot()");
        row("gallery", "uploadQelt()") << none << -1 << QByteArray("UploadQelt()");
        row("gallery", "createQelt()") << none << 3 << QByteArray();
        row("gallery", "convertPDF()") << none << 5 << QByteArray();
        row("gallery", "handwriteQelt()") << none << 4 << QByteArray();
        row("create", "showContextMenu(QPoint)") << point << -1 << QByteArray("ShowContextMenu(QPoint)");
        row("create", "showQeltList()") << none << 0 << QByteArray();
        row("create", "makeScreenshot()") << none << -1 << QByteArray("MakeScreenshot()");
        row("create", "uploadQelt()") << none << -1 << QByteArray("UploadQelt()");
        row("create", "convertPDF()") << none << 5 << QByteArray();
        row("create", "handwriteQelt()") << none << 4 << QByteArray();
        row("pdf", "takeQelt()") << none << -1 << QByteArray("MakeScreenshot()");
        row("pdf", "uploadQelt()") << none << -1 << QByteArray("UploadQelt()");
        row("pdf", "drawQelt()") << none << 4 << QByteArray();
        row("pdf", "createTextQelt()") << none << 3 << QByteArray();
        row("pdf", "showQeltList()") << none << 0 << QByteArray();
        row("pdf", "showSettingsMenu(QPoint)") << point << -1 << QByteArray("ShowContextMenu(QPoint)");
        row("pad", "scanError(QString)")
            << QVariantList{QStringLiteral("failed")} << -1 << QByteArray("ScanError(QString)");
        row("pad", "rateLimitError(QString)")
            << QVariantList{QStringLiteral("too many")} << -1 << QByteArray("RateLimitError(QString)");
        row("pad", "qeltRecognized(ZorvaneQeltPtr)")
            << QVariantList{QVariant::fromValue(std::make_shared<ZorvaneQelt>("drawn", 2, 1))} << -1
            << QByteArray("QeltRecognized(ZorvaneQeltPtr)");
        row("pad", "sendFeedback()") << none << -1 << QByteArray("SendFeedback()");
    }

    void pagesSwitchOnTheirSignals()
    {
        QFETCH(QString, sender);
        QFETCH(QByteArray, signal);
        QFETCH(QVariantList, args);
        QFETCH(int, page);
        QFETCH(QByteArray, passedOn);
        if (!m_library->qeltById("switch1"))
            holdQelt("switch1", "a^2", "$a^2$");
        page == 5 ? m_window->ShowGallery() : m_window->ShowPdfConverter();
        const int before = m_window->currentPage();
        QObject* const senders[] = {m_window->viewPage(),     m_library.get(),        m_window->editPage(),
                                    m_window->gallery(),      m_window->createPage(), m_window->pdfPage(),
                                    m_window->handwritePage()};
        const int which =
            QStringList{"view", "library", "edit", "gallery", "create", "pdf", "pad"}.indexOf(sender);
        std::unique_ptr<QSignalSpy> spy;
        if (!passedOn.isEmpty())
            spy = std::make_unique<QSignalSpy>(m_window.get(), QByteArray("2" + passedOn).constData());

        QVERIFY(emitSignal(senders[which], signal, args));
        const int now = page < 0 ? before : page;
        QCOMPARE(m_window->currentPage(), now);
        QCOMPARE(m_window->windowTitle(), title(now));
        if (spy) {
            QCOMPARE(spy->count(), 1);
            QCOMPARE(spy->first().size(), args.size());
            for (int i = 0; i < args.size(); ++i)
                QCOMPARE(spy->first().at(i), args.at(i));
        }
        if (now == 1 && args.value(0) == QStringLiteral("switch1"))
            QVERIFY(viewShows(QStringLiteral("switch1")));
        if (signal.startsWith("SearchClicked"))
            QCOMPARE(m_window->gallery()->findChild<QLineEdit*>("searchBox")->text(), QStringLiteral("x^2"));
        if (now == 2)
            QCOMPARE(m_window->editPage()->qeltId(), QStringLiteral("switch1"));
        m_window->ClearGallerySearch();
    }

    void leavingThePadReturnsWhereItCameFrom_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("qeltGone");
        QTest::addColumn<int>("back");
        QTest::newRow("view") << 1 << false << 1;
        QTest::newRow("view, its Qelt deleted meanwhile, none after it") << 1 << true << 0;
        QTest::newRow("gallery") << 0 << false << 0;
        QTest::newRow("edit") << 2 << false << 0;
        QTest::newRow("create") << 3 << false << 3;
        QTest::newRow("pdf") << 5 << false << 5;
    }

    void leavingThePadReturnsWhereItCameFrom()
    {
        QFETCH(int, from);
        QFETCH(bool, qeltGone);
        QFETCH(int, back);
        const QString id = QStringLiteral("pad%1%2").arg(from).arg(qeltGone);
        const ZorvaneQeltPtr qelt = holdQelt(id, "b^2", "$b^2$");
        if (qeltGone) {
            // The only hit of a search: deleted, it leaves the view page with no Qelt.
            m_results->clear();
            m_results->addQelt(std::make_shared<ZorvaneQelt>(*qelt), true);
            m_switch->setMode(1);
        }
        m_window->ShowQeltView(qelt);
        QVERIFY(viewShows(id));
        if (from == 0)
            m_window->ShowGallery();
        else if (from == 2)
            emit m_window->viewPage()->EditQeltText(id);
        else if (from == 3)
            m_window->ShowCreatePage(false);
        else if (from == 5)
            m_window->ShowPdfConverter();
        QCOMPARE(m_window->currentPage(), from);
        m_window->handwritePage()->model()->press(QPointF(3, 3));
        m_window->handwritePage()->model()->release();
        m_window->ShowHandwritePage();
        QCOMPARE(m_window->currentPage(), 4);
        QCOMPARE(m_window->windowTitle(), title(4));
        QVERIFY(m_window->handwritePage()->model()->strokes().isEmpty()); // a fresh pad
        if (qeltGone)
            m_results->removeQeltLocally(m_results->qeltById(id), false);
        emit m_window->handwritePage()->exit();
        QCOMPARE(m_window->currentPage(), back);
        QCOMPARE(m_window->windowTitle(), title(back));
        if (back == 1)
            QCOMPARE(m_window->viewPage()->currentQeltId(), id);
        if (back == 3)
            QVERIFY(!m_window->createPage()->isMarkdown());
    }

    void reopeningTheCreatePageKeepsAnUnsentDraft_data()
    {
        QTest::addColumn<bool>("markdown");
        QTest::addColumn<QString>("reopen");
        QTest::addColumn<bool>("kept");
        QTest::newRow("from the gallery") << true << "gallery" << true;
        QTest::newRow("from the PDF page, LaTeX") << false << "pdf" << true;
        QTest::newRow("asked for in the same mode") << true << "markdown" << true;
        QTest::newRow("asked for in the other mode") << true << "latex" << false;
    }

    void reopeningTheCreatePageKeepsAnUnsentDraft()
    {
        QFETCH(bool, markdown);
        QFETCH(QString, reopen);
        QFETCH(bool, kept);
        m_window->ShowCreatePage(markdown);
        QCOMPARE(m_window->createPage()->pane()->text(), QString());
        m_window->createPage()->findChild<QPlainTextEdit*>("editor")->insertPlainText("draft \\alpha");
        m_window->ShowGallery();
        if (reopen == "gallery")
            emit m_window->gallery()->createQelt();
        else if (reopen == "pdf")
            emit m_window->pdfPage()->createTextQelt();
        else
            m_window->ShowCreatePage(reopen == "markdown");
        QCOMPARE(m_window->currentPage(), 3);
        QCOMPARE(m_window->createPage()->pane()->text(), kept ? QStringLiteral("draft \\alpha") : QString());
        QCOMPARE(m_window->createPage()->isMarkdown(), reopen == "latex" ? false : markdown);
        m_window->createPage()->reset(true);
    }

    void userNameComesFromTheService_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("signOutFirst");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a name") << QByteArray(R"({"username": "alice"})") << 200 << false << "alice";
        QTest::newRow("a name that is no string")
            << QByteArray(R"({"username": 5})") << 200 << false << "before";
        QTest::newRow("an error beside a name")
            << QByteArray(R"({"error": "not allowed", "username": "bob"})") << 200 << false << "before";
        QTest::newRow("an empty error beside a name")
            << QByteArray(R"({"error": "", "username": "carol"})") << 200 << false << "carol";
        QTest::newRow("no name") << QByteArray(R"({"email": "me@example.org"})") << 200 << false << "before";
        QTest::newRow("not JSON") << QByteArray("<html>") << 200 << false << "before";
        QTest::newRow("an array") << QByteArray(R"([{"username": "dave"}])") << 200 << false << "before";
        QTest::newRow("empty") << QByteArray() << 200 << false << "before";
        QTest::newRow("server error") << QByteArray(R"({"username": "erin"})") << 500 << false << "before";
        QTest::newRow("redirect") << QByteArray(R"({"username": "frank"})") << 302 << false << "before";
        QTest::newRow("signed out before the answer")
            << QByteArray(R"({"username": "grace"})") << 200 << true << "before";
    }

    void userNameComesFromTheService()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(bool, signOutFirst);
        QFETCH(QString, expected);
        kKeyUserName.set(QStringLiteral("before"));
        Reply reply = Reply::raw(body, "application/json", status).withDelay(signOutFirst ? 200 : 0);
        if (status == 302)
            reply.withHeader("Location", (m_service->baseUrl() + "/v1/elsewhere").toUtf8());
        m_service->on("GET", "/v1/user", reply);
        m_service->on("GET", "/v1/elsewhere", Reply::json({{"username", "mallory"}}));
        const QPointer<QNetworkReply> pending = newUserRequest([this] { m_window->GetUserSettings(); });
        QVERIFY(pending);
        if (signOutFirst) {
            QTRY_COMPARE(m_service->requestsTo("/v1/user").size(), 1);
            utils::setAuthInfo(QString(), QString());
        }
        QTRY_VERIFY(!pending); // handled, then disposed of
        QCOMPARE(kKeyUserName.get(), expected);
        const auto sent = m_service->requestsTo("/v1/user");
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first().method, QByteArray("GET"));
        QCOMPARE(sent.first().header("Authorization"), QByteArray("Bearer t0k"));
        QCOMPARE(sent.first().header("User-Agent"), utils::appVersionString().toUtf8());
        QCOMPARE(sent.first().header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(m_service->requestsTo("/v1/elsewhere").size(), 0);
    }

    void noUserRequestWithoutAnAccount()
    {
        utils::setAuthInfo(QString(), QString());
        QVERIFY(!newUserRequest([this] { m_window->GetUserSettings(); }));
    }

    void keysActOnTheViewPageOnly_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("onView");
        for (const char* key :
             {"prev", "next", "first", "last", "row up", "row down", "prev tab", "next tab", "delete"}) {
            QTest::addRow("%s on the view page", key) << QString(key) << true;
            QTest::addRow("%s on the gallery", key) << QString(key) << false;
        }
    }

    void keysActOnTheViewPageOnly()
    {
        QFETCH(QString, key);
        QFETCH(bool, onView);
        for (const char* id : {"keys1", "keys2", "keys3", "keys4"}) {
            if (!m_library->qeltById(id))
                holdQelt(id, QStringLiteral("%1^2").arg(id), QStringLiteral("$%1$").arg(id));
        }
        // Shown afresh on the OCR tab, with its remembered entry selected (and so copied) again.
        m_window->ShowQeltView(m_library->qeltById("keys1"));
        QVERIFY(viewShows("keys1"));
        const ZorvaneQeltPtr shown = m_library->qeltById("keys2");
        kKeyLastTabName.set(QStringLiteral("OCR"));
        utils::setRowMemory({4, 0, 0});
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("settling"));
        m_window->ShowQeltView(shown);
        QVERIFY(viewShows(shown->id));
        QVERIFY(waitUntil([clipboard] { return clipboard->text() != QLatin1String("settling"); }));
        if (!onView)
            m_window->ShowGallery();
        auto* tabs = m_window->viewPage()->findChild<QTabWidget*>("tab_scanResult");
        const int tab = tabs->currentIndex();
        QSignalSpy removals(m_window.get(), &LatexResultDialog::WantRemoveQelt);
        MessageBox::setNextAnswer(QMessageBox::Yes);

        using Handler = void (LatexResultDialog::*)();
        const QMap<QString, Handler> handlers{
            {"prev", &LatexResultDialog::OnPrevQeltKey},    {"next", &LatexResultDialog::OnNextQeltKey},
            {"first", &LatexResultDialog::OnFirstQeltKey},  {"last", &LatexResultDialog::OnLastQeltKey},
            {"row up", &LatexResultDialog::OnRowUpKey},     {"row down", &LatexResultDialog::OnRowDownKey},
            {"prev tab", &LatexResultDialog::OnPrevTabKey}, {"next tab", &LatexResultDialog::OnNextTabKey},
            {"delete", &LatexResultDialog::OnDeleteKey}};
        (m_window.get()->*handlers.value(key))();
        MessageBox::setNextAnswer(QMessageBox::NoButton);

        const QMap<QString, ZorvaneQeltPtr> neighbours{{"prev", m_library->previousQelt(shown)},
                                                       {"next", m_library->nextQelt(shown)},
                                                       {"first", m_library->firstQelt()},
                                                       {"last", m_library->lastQelt()}};
        const QString expectedId = onView && neighbours.contains(key) ? neighbours.value(key)->id : shown->id;
        QVERIFY(expectedId != shown->id || !neighbours.contains(key) || !onView);
        QCOMPARE(m_window->viewPage()->currentQeltId(), expectedId);
        const int row = utils::rowMemory().ocrRow;
        QCOMPARE(row, onView && key == "row up" ? 3 : onView && key == "row down" ? 5 : 4);
        QCOMPARE(tabs->currentIndex() != tab, onView && key.endsWith("tab"));
        QCOMPARE(removals.count(), onView && key == "delete" ? 1 : 0);
        if (!removals.isEmpty())
            QCOMPARE(removals.first().first().toString(), shown->id);
        QVERIFY(viewShows(expectedId));
    }

    void signingOutLeavesNothingOfTheAccount()
    {
        const ZorvaneQeltPtr qelt = holdQelt("out1", "c^2", "$c^2$");
        m_window->ShowCreatePage(true);
        m_window->createPage()->pane()->setText("my draft");
        emit m_window->viewPage()->EditQeltLatex("out1");
        m_window->editPage()->pane()->setText("my edit");
        m_window->ShowQeltView(qelt);
        QVERIFY(viewShows("out1"));
        auto* searchBox = m_window->gallery()->findChild<QLineEdit*>("searchBox");
        m_window->gallery()->setSearchText("ada's search");
        m_switch->setMode(1); // its results are shown
        m_window->OnLoggedOut();
        QCOMPARE(m_window->currentPage(), 0);
        QCOMPARE(m_window->windowTitle(), title(0));
        QCOMPARE(searchBox->text(), QString());
        QCOMPARE(m_switch->mode(), 0);
        QCOMPARE(m_window->createPage()->pane()->text(), QString());
        QCOMPARE(m_window->editPage()->qeltId(), QString());
        QCOMPARE(m_window->pdfPage()->rowCount(), 0);
    }

    void aQeltWaitingToBeShownIsNotTakenByAnEditOfTheOldOne()
    {
        holdQelt("wait1", "p^2", "$p^2$");
        const ZorvaneQeltPtr next = holdQelt("wait2", "q^2", "$q^2$");
        m_window->ShowQeltView(m_library->qeltById("wait1"));
        QVERIFY(viewShows("wait1"));
        m_library->editQeltText("wait1", "$p^3$"); // the page renders the edit...
        m_window->ShowQeltView(next);              // ...so the next Qelt waits for it...
        m_library->editQeltText("wait1", "$p^4$"); // ...while the old one changes again
        QVERIFY(viewShows("wait2"));
    }

    void galleryToViewToEditToCreateToPadRoad()
    {
        // The application's part: a recognised Qelt goes to the library and is shown.
        connect(m_window.get(), &LatexResultDialog::QeltRecognized, m_library.get(),
                [this](ZorvaneQeltPtr qelt) {
                    m_library->addQelt(qelt, true);
                    m_window->ShowQeltView(qelt);
                });
        holdQelt("road1", "x^2", "$x^2$");
        m_window->ShowGallery();
        emit m_window->gallery()->showQelt("road1");
        QCOMPARE(m_window->windowTitle(), title(1));
        QVERIFY(viewShows("road1"));

        // Edit its text; the sync sends it.
        emit m_window->viewPage()->EditQeltText("road1");
        QCOMPARE(m_window->currentPage(), 2);
        QCOMPARE(m_window->editPage()->pane()->text(), QStringLiteral("$x^2$"));
        m_window->editPage()->pane()->setText(QStringLiteral("$y^3$ edited"));
        QTest::mouseClick(m_window->editPage()->findChild<QPushButton*>("but_save"), Qt::LeftButton);
        QCOMPARE(m_window->currentPage(), 1);
        QCOMPARE(m_window->windowTitle(), title(1));
        QTRY_COMPARE(m_account->find("road1")->text, QStringLiteral("$y^3$ edited"));
        const auto patches = m_service->requestsTo("/v1/qelts/road1");
        QVERIFY(!patches.isEmpty());
        QCOMPARE(patches.first().method, QByteArray("PATCH"));

        // Create one from typed LaTeX; it is shown when it arrives.
        emit m_window->viewPage()->CreateQelt();
        QCOMPARE(m_window->currentPage(), 3);
        QTest::mouseClick(m_window->createPage()->findChild<QRadioButton*>("cb_latex"), Qt::LeftButton);
        m_window->createPage()->findChild<QPlainTextEdit*>("editor")->insertPlainText("\\frac{1}{2}");
        QSignalSpy created(m_library.get(), &QeltsController::showCreatedQelt);
        QTest::mouseClick(m_window->createPage()->findChild<QPushButton*>("but_save"), Qt::LeftButton);
        QTRY_COMPARE(created.count(), 1);
        const QString createdId = created.first().first().toString();
        QCOMPARE(m_window->currentPage(), 1);
        QCOMPARE(m_library->qeltById(createdId)->latex, QStringLiteral("\\frac{1}{2}"));
        QVERIFY(viewShows(createdId));

        // Draw one; the recognised Qelt is shown.
        emit m_window->viewPage()->HandwriteQelt();
        QCOMPARE(m_window->currentPage(), 4);
        drawOnPad({{10, 10}, {30, 20}, {50, 15}});
        QSignalSpy recognised(m_window.get(), &LatexResultDialog::QeltRecognized);
        QTest::mouseClick(m_window->handwritePage()->findChild<QPushButton*>("scanButton"), Qt::LeftButton);
        QTRY_COMPARE(recognised.count(), 1);
        const QString drawnId = recognised.first().first().value<ZorvaneQeltPtr>()->id;
        QCOMPARE(m_window->currentPage(), 1);
        QVERIFY(drawnId != createdId && m_library->qeltById(drawnId));
        QVERIFY(viewShows(drawnId));
        const auto strokes = m_service->requestsTo("/v1/qelts/strokes");
        QCOMPARE(strokes.size(), 1);
        const QJsonObject shape = strokes.first().json().value("strokes").toObject();
        QCOMPARE(shape.value("x").toArray(), QJsonArray({QJsonArray{10, 30, 50}}));
        QCOMPARE(shape.value("y").toArray(), QJsonArray({QJsonArray{10, 20, 15}}));
        disconnect(m_window.get(), &LatexResultDialog::QeltRecognized, m_library.get(), nullptr);
    }

    // Last: once "Restart Now" was chosen, no prompt opens again in this process.
    void displayChangeAsksOnceForARestart_data()
    {
        QTest::addColumn<bool>("tick");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("asksAgain");
        QTest::newRow("later") << false << "  Restart Later  " << true;
        QTest::newRow("later, not again") << true << "  Restart Later  " << false;
        QTest::newRow("now") << false << "  Restart Now  " << false;
    }

    void displayChangeAsksOnceForARestart()
    {
        QFETCH(bool, tick);
        QFETCH(QString, button);
        QFETCH(bool, asksAgain);
        kKeyShowDPIMsgBox.set(true);
        QScreen* screen = QGuiApplication::screens().first();
        QSignalSpy restarts(m_window.get(), &LatexResultDialog::RestartApp);
        {
            bool changedAgain = false;
            bool settled = false;
            bool ticked = false;
            QList<bool> stored;
            PromptUser user(
                [&](QMessageBox* box) {
                    if (!changedAgain) {
                        // A second change while the prompt is open; the marker fires after its timer.
                        changedAgain = true;
                        emit screen->logicalDotsPerInchChanged(120);
                        QTimer::singleShot(1, [&settled] { settled = true; });
                        return false;
                    }
                    if (!settled)
                        return false;
                    if (!ticked) {
                        ticked = true;
                        for (bool state : {true, false, tick}) {
                            box->checkBox()->setChecked(state);
                            stored << kKeyShowDPIMsgBox.get();
                        }
                    }
                    return true;
                },
                button);
            emit screen->logicalDotsPerInchChanged(144);
            QTRY_VERIFY(ticked && !QApplication::activeModalWidget());
            QCOMPARE(user.texts.size(), 1);
            QVERIFY(user.texts.first().startsWith(
                "Please restart your app in order to update to your display settings."));
            QCOMPARE(stored, QList<bool>({false, true, !tick}));
        }
        QCOMPARE(kKeyShowDPIMsgBox.get(), !tick);
        QCOMPARE(restarts.count(), button.contains("Now") ? 1 : 0);

        PromptUser again([](QMessageBox*) { return true; }, QStringLiteral("  Restart Later  "));
        emit screen->logicalDotsPerInchChanged(96);
        settleShortTimers();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(again.texts.size(), asksAgain ? 1 : 0);
        QCOMPARE(restarts.count(), button.contains("Now") ? 1 : 0);
    }
};

ZQ_TEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
