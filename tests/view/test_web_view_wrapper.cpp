#include "support/TestMain.h"
#include "view/bridge/WebViewWrapper.h"

#include <QElapsedTimer>
#include <QWebEngineView>

namespace {

constexpr int kTimeoutMs = 60000;
const QUrl kPage(QStringLiteral("qrc:/html/zorvane_qelting_editor.html"));
// Records the first argument of every setText the page receives; kRestore undoes any breakage.
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

} // namespace

class TestWebViewWrapper : public QObject
{
    Q_OBJECT

    QWebEngineView view;
    std::unique_ptr<WebViewWrapper> wrapper;

private slots:
    void initTestCase()
    {
        view.show();
        wrapper = std::make_unique<WebViewWrapper>(&view, kPage, WebViewWrapper::CoverWhileApplying);
        QSignalSpy loaded(wrapper.get(), &WebViewWrapper::loadFinished);
        QVERIFY(loaded.wait(kTimeoutMs));
    }

    void freshWrapperAppliesWhatCameBeforeTheLoad_data()
    {
        QTest::addColumn<int>("flags");
        QTest::newRow("result at once") << 0;
        QTest::newRow("delayed result") << int(WebViewWrapper::DelayedResult);
    }

    void freshWrapperAppliesWhatCameBeforeTheLoad()
    {
        QFETCH(int, flags);
        QWebEngineView fresh;
        fresh.show();
        WebViewWrapper early(&fresh, kPage, flags);
        QSignalSpy applied(&early, &WebViewWrapper::resultApplied);
        early.setColors(Qt::white, Qt::black, 20.7);
        early.setText("first", false);
        early.setText("second", false);
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 1, kTimeoutMs);
        QCOMPARE(run(early, "var s = getComputedStyle(document.body);"
                            "[s.color, s.backgroundColor, s.fontSize, content.textContent.trim()]")
                     .toStringList(),
                 (QStringList{"rgb(255, 255, 255)", "rgb(0, 0, 0)", "20px", "second"}));
        QCOMPARE(applied.count(), 1); // the probe came after any second rendering would have

        QElapsedTimer clock;
        clock.start();
        early.setText("x", false);
        // The probe's answer comes right after the text's: {applying, signals so far} at that moment.
        QPair<bool, int> afterReply;
        early.runJavaScript("1", [&](const QVariant&) {
            afterReply = {early.isApplying(), applied.count()};
        });
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 2, kTimeoutMs);
        QCOMPARE(afterReply, qMakePair(flags != 0, flags != 0 ? 1 : 2));
        QVERIFY(!flags || clock.elapsed() >= WebViewWrapper::defaultDelay());
        QVERIFY(!early.isApplying());
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
        QTRY_COMPARE_WITH_TIMEOUT(formats.count(), 2, kTimeoutMs);
        QVERIFY(formats.last().first().toJsonObject().value("formats").isArray());
    }

    void textsReachThePageUnchanged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("backslashes and quotes") << "\\frac{\"a\"}{'b'} \\\\";
        QTest::newRow("line ends") << "a\nb\r\nc\r";
        QTest::newRow("separators") << QString("a%1b%2c").arg(QChar(0x2028), QChar(0x2029));
        QTest::newRow("controls") << QString("a\tb%1c%2").arg(QChar(0x1b), QChar(1));
        QTest::newRow("argument markers") << "50%1 and %2 of %3";
    }

    void textsReachThePageUnchanged()
    {
        QFETCH(QString, text);
        run(*wrapper, kRecord);
        QSignalSpy applied(wrapper.get(), &WebViewWrapper::resultApplied);
        wrapper->setText(text, false);
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 1, kTimeoutMs);
        wrapper->setLatex(text, true);
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 2, kTimeoutMs);
        QCOMPARE(run(*wrapper, "calls").toStringList(), (QStringList{text, "\\[" + text + "\\]"}));
        QVERIFY(!applied[0][0].value<ContentInfo>().error && !applied[1][0].value<ContentInfo>().error);
    }

    void replyIsReadAndTheWaitingTextRunsAfterIt_data()
    {
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<bool>("withWidth");
        QTest::addColumn<ContentInfo>("info");
        const auto answer = [](const char* reply) {
            return QString("window.setText = () => %1;").arg(reply);
        };
        const ContentInfo error;
        QTest::newRow("integers") << answer("[false, {height: 40, width: 120}]") << true
                                  << ContentInfo{false, 120, 40};
        QTest::newRow("invalid latex")
            << answer("[true, {height: 40, width: 120}]") << false << ContentInfo{false, 120, 40};
        QTest::newRow("fractions") << answer("[false, {height: 35.9, width: 0.5}]") << false
                                   << ContentInfo{false, 0, 35};
        QTest::newRow("minus one") << answer("[false, {height: 40, width: -1}]") << false << error;
        QTest::newRow("negative") << answer("[false, {height: -7.5, width: 10}]") << true << error;
        QTest::newRow("beyond int") << answer("[false, {height: 1, width: 1e12}]") << false << error;
        QTest::newRow("map") << answer("({height: 1, width: 1})") << false << error;
        QTest::newRow("three elements") << answer("[false, {height: 1, width: 1}, 3]") << false << error;
        QTest::newRow("no width") << answer("[false, {height: 1}]") << false << error;
        QTest::newRow("throws with width") << "window.setText = () => { throw 1; }" << true << error;
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
};

ZQ_TEST_MAIN(TestWebViewWrapper)
#include "test_web_view_wrapper.moc"
