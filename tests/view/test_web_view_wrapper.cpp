#include "support/TestMain.h"
#include "view/bridge/WebViewWrapper.h"
#include "view/render/editorScripts.h"

#include <QElapsedTimer>
#include <QWebEngineView>

namespace {

constexpr int kTimeoutMs = 60000;
const QUrl kPage(QStringLiteral("qrc:/html/zorvane_qelting_editor.html"));

// Records the first argument of every setText call the page receives; "restore" undoes any breakage.
const QString kRecord = QStringLiteral(
    "window.calls = []; window.realSetText = window.realSetText || window.setText;"
    "window.setText = function() { calls.push(arguments[0]); return realSetText.apply(this, arguments); };");
const QString kRestore =
    QStringLiteral("window.setText = window.realSetText;"
                   "var gone = document.getElementById('gone'); if (gone) gone.id = 'content';");

QVariant run(WebViewWrapper& wrapper, const QString& script)
{
    auto result = std::make_shared<std::optional<QVariant>>();
    wrapper.runJavaScript(script, [result](const QVariant& value) { *result = value; });
    QTest::qWaitFor([&] { return result->has_value(); }, kTimeoutMs);
    return result->value_or(QVariant());
}

QVariantList reply(const QVariant& height, const QVariant& width, const QVariant& latexFailed = false)
{
    return {latexFailed, QVariantMap{{"height", height}, {"width", width}}};
}

} // namespace

class TestWebViewWrapper : public QObject
{
    Q_OBJECT

    QWebEngineView view;
    std::unique_ptr<WebViewWrapper> wrapper;

private slots:
    void initTestCase()
    {
        view.resize(600, 400);
        view.show();
        wrapper = std::make_unique<WebViewWrapper>(&view, kPage, WebViewWrapper::CoverWhileApplying);
        QSignalSpy loaded(wrapper.get(), &WebViewWrapper::loadFinished);
        QVERIFY(loaded.wait(kTimeoutMs));
    }

    void whatComesBeforeTheLoadIsAppliedAfterIt()
    {
        QWebEngineView fresh;
        fresh.show();
        WebViewWrapper early(&fresh, kPage, 0);
        QSignalSpy applied(&early, &WebViewWrapper::resultApplied);
        early.setColors(Qt::white, Qt::black, 20.7);
        early.setText("first", false);
        early.setText("second", false);
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 1, kTimeoutMs);
        const QVariant style =
            run(early, "var s = getComputedStyle(document.body);"
                       "[s.color, s.backgroundColor, s.fontSize, content.textContent.trim()]");
        QCOMPARE(style.toStringList(), (QStringList{"rgb(255, 255, 255)", "rgb(0, 0, 0)", "20px", "second"}));
        QCOMPARE(applied.count(), 1); // the probe came after any second rendering would have
    }

    void onlyTheLastOfThreeWaitingTextsRenders()
    {
        run(*wrapper, kRecord);
        QSignalSpy applied(wrapper.get(), &WebViewWrapper::resultApplied);
        QSignalSpy formats(wrapper.get(), &WebViewWrapper::getNonLatexFormats);
        for (const char* text : {"one", "two", "three", "$x^2$"})
            wrapper->setText(text, false);
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 2, kTimeoutMs);
        QCOMPARE(run(*wrapper, "calls").toStringList(), (QStringList{"one", "$x^2$"}));
        QCOMPARE(applied.count(), 2);
        QVERIFY(!wrapper->isApplying());
        QTRY_COMPARE_WITH_TIMEOUT(formats.count(), 2, kTimeoutMs);
        QVERIFY(formats.last().first().toJsonObject().value("formats").isArray());
    }

    void textsReachThePageUnchanged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("backslashes and quotes") << "\\frac{\"a\"}{'b'} \\\\";
        QTest::newRow("line feeds") << "a\nb\n";
        QTest::newRow("windows line ends") << "a\r\nb\r\n";
        QTest::newRow("line and paragraph separators")
            << QString("a%1b%2c").arg(QChar(0x2028), QChar(0x2029));
        QTest::newRow("controls") << QString("a\tb%1c%2").arg(QChar(0x1b), QChar(1));
        QTest::newRow("argument markers") << "50%1 and %2 of %3";
    }

    void textsReachThePageUnchanged()
    {
        QFETCH(QString, text);
        run(*wrapper, kRecord);
        QSignalSpy applied(wrapper.get(), &WebViewWrapper::resultApplied);
        // One after the other: a text given while another renders would replace the waiting one.
        const std::function<void()> forms[] = {[&] { wrapper->setText(text, false); },
                                               [&] { wrapper->setLatex(text, true); },
                                               [&] { wrapper->setTextAligned(text, "center"); }};
        for (const auto& form : forms) {
            form();
            QTRY_COMPARE_WITH_TIMEOUT(applied.count(), int(&form - forms) + 1, kTimeoutMs);
        }
        QCOMPARE(run(*wrapper, "calls").toStringList(), (QStringList{text, "\\[" + text + "\\]", text}));
        for (const auto& signal : applied)
            QVERIFY(!signal.first().value<ContentInfo>().error);
    }

    void replyIsRead_data()
    {
        QTest::addColumn<QVariant>("reply");
        QTest::addColumn<bool>("error");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("integers") << QVariant(reply(40, 120)) << false << 120 << 40;
        QTest::newRow("invalid latex keeps its size") << QVariant(reply(40, 120, true)) << false << 120 << 40;
        QTest::newRow("fractions truncate") << QVariant(reply(35.9, 0.5)) << false << 0 << 35;
        QTest::newRow("minus one") << QVariant(reply(40, -1)) << true << 0 << 0;
        QTest::newRow("negative") << QVariant(reply(-7.5, 10)) << true << 0 << 0;
        QTest::newRow("beyond int") << QVariant(reply(40, 1e12)) << true << 0 << 0;
        QTest::newRow("text size") << QVariant(reply("40", 120)) << true << 0 << 0;
        QTest::newRow("map") << QVariant(QVariantMap{{"height", 1}, {"width", 1}}) << true << 0 << 0;
        QTest::newRow("null") << QVariant() << true << 0 << 0;
        QTest::newRow("three elements") << QVariant(reply(1, 1) << 3) << true << 0 << 0;
        QTest::newRow("no width") << QVariant(QVariantList{false, QVariantMap{{"height", 1}}}) << true << 0
                                  << 0;
    }

    void replyIsRead()
    {
        QFETCH(QVariant, reply);
        QFETCH(bool, error);
        QFETCH(int, width);
        QFETCH(int, height);
        QCOMPARE(ContentInfo::fromReply(reply), (ContentInfo{error, width, height}));
    }

    void unusableReplyEndsTheRenderingAndTheWaitingTextRuns_data()
    {
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<bool>("withWidth");
        QTest::newRow("throws") << "window.setText = () => { throw new Error('x'); }" << false;
        QTest::newRow("throws with width") << "window.setText = () => { throw new Error('x'); }" << true;
        QTest::newRow("map") << "window.setText = () => ({height: 1, width: 1})" << false;
        QTest::newRow("negative width") << "window.setText = () => [false, {height: 5, width: -3}]" << true;
        QTest::newRow("width script fails") << "document.getElementById('content').id = 'gone'" << true;
    }

    void unusableReplyEndsTheRenderingAndTheWaitingTextRuns()
    {
        QFETCH(QString, breakage);
        QFETCH(bool, withWidth);
        run(*wrapper, kRestore + breakage);
        QSignalSpy applied(wrapper.get(), &WebViewWrapper::resultApplied);
        QWidget* cover = view.findChild<QWidget*>("applyingCover");
        bool coverShown = true;
        // Mends the page before the waiting text runs: the page runs scripts in order.
        QObject context;
        connect(wrapper.get(), &WebViewWrapper::resultApplied, &context, [&] {
            if (applied.count() == 1) {
                coverShown = cover->isVisible();
                wrapper->runJavaScript(kRestore, {});
            }
        });
        wrapper->setText("broken", withWidth);
        QVERIFY(wrapper->isApplying() && cover->isVisible());
        wrapper->setText("next", false);
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 2, kTimeoutMs);
        QVERIFY(!coverShown);
        QCOMPARE(applied[0].first().value<ContentInfo>(), ContentInfo());
        QVERIFY(!applied[1].first().value<ContentInfo>().error);
        QVERIFY(!wrapper->isApplying() && !cover->isVisible());
        QCOMPARE(run(*wrapper, "[content.textContent.trim(), content.style.width]").toStringList(),
                 (QStringList{"next", ""}));
    }

    void delayedResultKeepsApplyingUntilProcessed_data()
    {
        QTest::addColumn<int>("flags");
        QTest::newRow("at once") << 0;
        QTest::newRow("delayed") << int(WebViewWrapper::DelayedResult);
    }

    void delayedResultKeepsApplyingUntilProcessed()
    {
        QFETCH(int, flags);
        QWebEngineView other;
        other.show();
        WebViewWrapper delayed(&other, kPage, flags);
        QSignalSpy loaded(&delayed, &WebViewWrapper::loadFinished);
        QVERIFY(loaded.wait(kTimeoutMs));
        QSignalSpy applied(&delayed, &WebViewWrapper::resultApplied);
        QElapsedTimer clock;
        clock.start();
        delayed.setText("x", false);
        // The probe's answer comes right after the text's: {applying, signals so far} at that moment.
        QPair<bool, int> afterReply;
        delayed.runJavaScript("1", [&](const QVariant&) {
            afterReply = {delayed.isApplying(), applied.count()};
        });
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 1, kTimeoutMs);
        QCOMPARE(afterReply, qMakePair(flags != 0, flags != 0 ? 0 : 1));
        if (flags)
            QVERIFY(clock.elapsed() >= WebViewWrapper::defaultDelay());
        QVERIFY(!delayed.isApplying());
    }
};

ZQ_TEST_MAIN(TestWebViewWrapper)
#include "test_web_view_wrapper.moc"
