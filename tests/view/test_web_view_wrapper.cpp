#include "support/TestMain.h"
#include "view/bridge/WebViewWrapper.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

constexpr int kTimeoutMs = zq::test::kWaitMs;
// Long beyond the time between two answers of the page, so that a test sees the wrapper wait.
constexpr int kDelayMs = 1000;
const QUrl kPage(QStringLiteral("qrc:/html/zorvane_qelting_editor.html"));
// Records the first argument of every setText the page receives; kRestore mends any breakage.
const QString kRecord = QStringLiteral(
    "window.calls = []; window.realSetText = window.realSetText || window.setText;"
    "window.setText = function() { calls.push(arguments[0]); return realSetText.apply(this, arguments); };");
const QString kRestore =
    QStringLiteral("window.setText = window.realSetText;"
                   "var gone = document.getElementById('gone'); if (gone) gone.id = 'content';"
                   "content.style.removeProperty('height'); content.style.removeProperty('width');");

QVariant run(WebViewWrapper& wrapper, const QString& script)
{
    auto result = std::make_shared<std::optional<QVariant>>();
    wrapper.runJavaScript(script, [result](const QVariant& value) { *result = value; });
    QTest::qWaitFor([&] { return result->has_value(); }, kTimeoutMs);
    return result->value_or(QVariant());
}

} // namespace

class TestWebViewWrapper : public QObject
{
    Q_OBJECT

    QWebEngineView view;
    std::unique_ptr<WebViewWrapper> wrapper;

private slots:
    // Colours and texts given before the load: the colours hold and only the last text renders, once.
    void initTestCase()
    {
        view.show();
        WebViewWrapper::setResultDelayForTesting(kDelayMs);
        wrapper = std::make_unique<WebViewWrapper>(
            &view, kPage, WebViewWrapper::CoverWhileApplying | WebViewWrapper::DelayedResult);
        QSignalSpy applied(wrapper.get(), &WebViewWrapper::resultApplied);
        // Whoever waits for the load finds the waiting text on its way to the page when it ends.
        QList<bool> applyingAtEnd;
        QObject watch;
        connect(wrapper.get(), &WebViewWrapper::loadEnded, &watch,
                [&applyingAtEnd, this](bool ok) { applyingAtEnd << (ok && wrapper->isApplying()); });
        wrapper->setColors(Qt::white, Qt::black, 20.7);
        wrapper->setText("first", false);
        wrapper->setText("second", false);
        QVERIFY(wrapper->isLoading());
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 1, kTimeoutMs);
        QCOMPARE(applyingAtEnd, QList<bool>{true});
        QVERIFY(!wrapper->isLoading());
        QCOMPARE(run(*wrapper, "var s = getComputedStyle(document.body);"
                               "[s.color, s.backgroundColor, s.fontSize, content.textContent.trim()]")
                     .toStringList(),
                 (QStringList{"rgb(255, 255, 255)", "rgb(0, 0, 0)", "20px", "second"}));
        QCOMPARE(applied.count(), 1); // the probe came after any second rendering would have
        const QString probe("[getComputedStyle(document.body).color, document.head.children.length]");
        const QVariantList before = run(*wrapper, probe).toList();
        wrapper->setColors(Qt::black, Qt::white, 16); // loaded now: at once, and the head grows no more
        QCOMPARE(run(*wrapper, probe).toList(), (QVariantList{"rgb(0, 0, 0)", before.value(1)}));
    }

    void latestTextRendersUnchanged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("backslashes and quotes") << "\\frac{\"a\"}{'b'} \\\\";
        QTest::newRow("line ends") << "a\nb\r\nc\r";
        QTest::newRow("separators") << QString("a%1b%2c").arg(QChar(0x2028), QChar(0x2029));
        QTest::newRow("argument markers") << "50%1 and %2 of %3";
    }

    // The first text renders at once, of three meanwhile only the last; each result is kDelayMs late.
    void latestTextRendersUnchanged()
    {
        QFETCH(QString, text);
        run(*wrapper, kRecord);
        QSignalSpy applied(wrapper.get(), &WebViewWrapper::resultApplied);
        QSignalSpy formats(wrapper.get(), &WebViewWrapper::getNonLatexFormats);
        wrapper->setText(text, false);
        const quint64 first = wrapper->lastTextNumber();
        for (const QString& given : {QString("two"), QString("three")})
            wrapper->setText(given, false);
        wrapper->setLatex(text, true);
        const quint64 last = wrapper->lastTextNumber();
        QPair<bool, int> afterReply; // {applying, signals so far} as the first text's answer is in
        wrapper->runJavaScript("1", [&](const QVariant&) {
            afterReply = {wrapper->isApplying(), applied.count()};
        });
        QTRY_COMPARE_WITH_TIMEOUT(formats.count(), 2, kTimeoutMs);
        QCOMPARE(afterReply, qMakePair(true, 0));
        // The formats tell which text they are of: the first, then the last; the two between never ran.
        QCOMPARE(last, first + 3);
        QCOMPARE(formats[0][1].value<quint64>(), first);
        QCOMPARE(formats[1][1].value<quint64>(), last);
        QCOMPARE(run(*wrapper, "calls").toStringList(), (QStringList{text, "\\[" + text + "\\]"}));
        QCOMPARE(applied.count(), 2);
    }

    void replyIsReadAndTheWaitingTextRunsAfterIt_data()
    {
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<bool>("withWidth");
        QTest::addColumn<ContentInfo>("info");
        const auto r = [](const char* reply) { return QString("window.setText = () => %1;").arg(reply); };
        const ContentInfo error, size{false, 120, 40};
        QTest::newRow("integers") << r("[false, {height: 40, width: 120}]") << true << size;
        QTest::newRow("invalid latex") << r("[true, {height: 40, width: 120}]") << false << size;
        QTest::newRow("fractions") << r("[false, {height: 40.9, width: 120.5}]") << false << size;
        // Measured before a face or an image came in: what the page has laid out by the result counts.
        QTest::newRow("grown since the reply")
            << r("(content.style.height = '333px', content.style.width = '444px', "
                 "[false, {height: 40, width: 120}])")
            << false << ContentInfo{false, 444, 333};
        QTest::newRow("minus one") << r("[false, {height: 40, width: -1}]") << false << error;
        QTest::newRow("negative") << r("[false, {height: -7.5, width: 10}]") << true << error;
        QTest::newRow("map") << r("({height: 1, width: 1})") << false << error;
        QTest::newRow("throws with width") << r("{ throw 1; }") << true << error;
        QTest::newRow("width script fails")
            << "document.getElementById('content').id = 'gone'" << true << error;
    }

    void replyIsReadAndTheWaitingTextRunsAfterIt()
    {
        QFETCH(QString, breakage);
        QFETCH(bool, withWidth);
        QFETCH(ContentInfo, info);
        run(*wrapper, kRestore + breakage);
        QSignalSpy applied(wrapper.get(), &WebViewWrapper::resultApplied);
        QWidget* cover = view.findChild<QWidget*>("applyingCover");
        bool coverShown = true;
        QObject context; // mends the page before the waiting text runs: the page runs scripts in order
        connect(wrapper.get(), &WebViewWrapper::resultApplied, &context, [&] {
            coverShown = cover->isVisible();
            wrapper->runJavaScript(kRestore, {});
        });
        wrapper->setText("broken", withWidth);
        QVERIFY(wrapper->isApplying() && cover->isVisible());
        wrapper->setText("next", false);
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 2, kTimeoutMs);
        QVERIFY(!coverShown && !cover->isVisible() && !wrapper->isApplying());
        QCOMPARE(applied[0][0].value<ContentInfo>(), info);
        QVERIFY(!applied[1][0].value<ContentInfo>().error);
        QCOMPARE(run(*wrapper, "[content.textContent.trim(), content.style.width]").toStringList(),
                 (QStringList{"next", ""}));
    }

    // A view costs no page, and so no renderer, until it is first needed; what it was given meanwhile is
    // applied once the page has loaded, the newest text only.
    void pageLoadsWhenFirstNeeded_data()
    {
        QTest::addColumn<QString>("need");
        QTest::newRow("shown") << "shown";
        QTest::newRow("shown after a moment's show") << "shown a moment";
        QTest::newRow("texts") << "texts";
        QTest::newRow("texts after another page") << "texts after another page";
        QTest::newRow("script") << "script";
        QTest::newRow("asked ahead") << "asked ahead";
    }

    void pageLoadsWhenFirstNeeded()
    {
        QFETCH(QString, need);
        QWebEngineView other;
        WebViewWrapper late(&other, kPage, 0);
        late.setColors(Qt::white, Qt::black, 20);
        QVERIFY(!other.findChild<QWebEnginePage*>());
        QSignalSpy applied(&late, &WebViewWrapper::resultApplied);
        QVariant early;
        if (need == "shown") {
            other.show();
        } else if (need == "shown a moment") {
            // As a tab's view while the tabs are rebuilt: that costs no page.
            other.show();
            other.hide();
            QCoreApplication::sendPostedEvents();
            QVERIFY(!late.isLoadStarted());
            other.show();
        } else if (need.startsWith("texts")) {
            if (need == "texts after another page") {
                // Whatever the view showed before is no editor page: nothing is run in it.
                QSignalSpy blank(&other, &QWebEngineView::loadFinished);
                other.load(QUrl("about:blank"));
                QVERIFY(blank.wait(kTimeoutMs));
                QVERIFY(!late.isLoaded());
            }
            late.setText("first", false);
            late.setText("second", false);
        } else if (need == "script") {
            // It runs in the editor page, not in the empty one that the load replaces.
            late.runJavaScript("document.getElementById('content') !== null",
                               [&early](const QVariant& result) { early = result; });
        } else {
            late.load();
        }
        QTRY_VERIFY_WITH_TIMEOUT(late.isLoaded(), kTimeoutMs);
        if (need.startsWith("texts"))
            QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 1, kTimeoutMs);
        if (need == "script")
            QTRY_COMPARE_WITH_TIMEOUT(early, QVariant(true), kTimeoutMs);
        QCOMPARE(
            run(late, "[getComputedStyle(document.body).color, content.textContent.trim()]").toStringList(),
            (QStringList{"rgb(255, 255, 255)", need.startsWith("texts") ? "second" : ""}));
        QCOMPARE(applied.count(), need.startsWith("texts") ? 1 : 0);
    }

    // The chemistry engine starts for the first molecule: the text waits for it, and its formats are
    // those of the molecule, not of its SMILES string alone.
    void moleculeWaitsForTheChemistryEngine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("withWidth");
        QTest::newRow("tag") << "Ethanol: <smiles>CCO</smiles>" << false;
        QTest::newRow("fence with width") << "Ethanol:\n\n```smiles\nCCO\n```\n" << true;
    }

    void moleculeWaitsForTheChemistryEngine()
    {
        QFETCH(QString, text);
        QFETCH(bool, withWidth);
        QWebEngineView other;
        WebViewWrapper late(&other, kPage, WebViewWrapper::CoverWhileApplying);
        QSignalSpy applied(&late, &WebViewWrapper::resultApplied);
        QSignalSpy formats(&late, &WebViewWrapper::getNonLatexFormats);
        late.setText(text, withWidth);
        QTRY_COMPARE_WITH_TIMEOUT(formats.count(), 1, kTimeoutMs);
        QMap<QString, QString> found;
        for (const QJsonValue& entry : formats[0][0].toJsonObject().value("formats").toArray())
            found.insert(entry["type"].toString(), entry["value"].toString());
        QCOMPARE(found.value("smiles"), QString("CCO"));
        QCOMPARE(found.value("inchi"), QString("InChI=1S/C2H6O/c1-2-3/h3H,2H2,1H3"));
        QCOMPARE(found.value("inchi_key"), QString("LFQSCWFLJHTTHZ-UHFFFAOYSA-N"));
        QCOMPARE(applied.count(), 1);
        QVERIFY(!applied[0][0].value<ContentInfo>().error);
        QVERIFY(!late.isApplying());
        QCOMPARE(run(late, "document.querySelectorAll('#content .zq-molecule svg').length"), QVariant(1));
    }

    // Texts given while the page cannot load are answered with errors; once it loads, the newest of
    // them renders and later texts render as usual.
    void aFailedLoadAnswersErrorsUntilThePageLoads()
    {
        QTemporaryDir dir;
        QWebEngineView other;
        other.show();
        QTest::ignoreMessage(QtWarningMsg, "[WebViewWrapper] Failed to load WebPage");
        WebViewWrapper late(&other, QUrl::fromLocalFile(dir.filePath("missing.html")), 0);
        QSignalSpy applied(&late, &WebViewWrapper::resultApplied);
        QSignalSpy formats(&late, &WebViewWrapper::getNonLatexFormats);
        QSignalSpy ended(&late, &WebViewWrapper::loadEnded);
        late.setText("before the failure", false);
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 1, kTimeoutMs);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ended.first().first(), QVariant(false));
        QVERIFY(!late.isLoading());
        late.setText("waiting", false);
        late.setText("newest", false);
        const quint64 newest = late.lastTextNumber();
        QTRY_COMPARE(applied.count(), 3);
        for (const QList<QVariant>& answer : applied)
            QVERIFY(answer[0].value<ContentInfo>().error);
        other.load(kPage);
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 4, kTimeoutMs);
        QVERIFY(!applied[3][0].value<ContentInfo>().error);
        QCOMPARE(run(late, "content.textContent.trim()").toString(), QString("newest"));
        // Its formats carry its number, or the view page takes them for a stale text's.
        QTRY_COMPARE_WITH_TIMEOUT(formats.count(), 1, kTimeoutMs);
        QCOMPARE(formats[0][1].value<quint64>(), newest);
        late.setText("after", false);
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 5, kTimeoutMs);
        QVERIFY(!applied[4][0].value<ContentInfo>().error);
    }
};

ZQ_TEST_MAIN(TestWebViewWrapper)
#include "test_web_view_wrapper.moc"
