#pragma once

// Drives the editor page in a real QWebEngineView the way the application's bridge does: the
// same scripts, the same escaping, results read back synchronously by spinning the event loop.

#include "support/TestEnvironment.h"

#include <QSignalSpy>
#include <QtCore>
#include <QtWebEngineWidgets>

namespace zq::test {

// Records every navigation the page asks for and refuses all but the first load of the page.
class RecordingPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

    QList<QUrl> navigations;
    QStringList consoleErrors;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        navigations.append(url);
        return isMainFrame && navigations.size() == 1;
    }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override
    {
        if (level == ErrorMessageLevel)
            consoleErrors.append(QStringLiteral("%1:%2 %3").arg(source).arg(line).arg(message));
    }
};

class EditorPageHarness
{
public:
    static constexpr int kTimeoutMs = kWaitMs;

    EditorPageHarness()
    {
        view.resize(800, 600);
        page = new RecordingPage(&view);
        view.setPage(page);
        view.settings()->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, true);
        view.settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    }

    // Loads the page and runs what the bridge runs after a successful load. Returns whether
    // the load succeeded and the font-size script answered true.
    bool load()
    {
        // A hidden view lays out in a viewport of no width: show it, as the application does.
        view.show();
        QSignalSpy loaded(page, &QWebEnginePage::loadFinished);
        QElapsedTimer clock;
        clock.start();
        page->load(QUrl(QStringLiteral("qrc:/html/zorvane_qelting_editor.html")));
        if (!loaded.wait(kTimeoutMs) || !loaded.first().first().toBool())
            return false;
        loadMs = clock.nsecsElapsed() / 1e6;
        addStyle(QStringLiteral("body {margin: 5px 5px 5px 5px;}"));
        return run(QStringLiteral("window.setFontSize(16);")) == QVariant(true);
    }

    // Appends a style element to the head, as the bridge injects its styles.
    void addStyle(const QString& css)
    {
        run(QStringLiteral(
                "var head = document.head;var node = document.createElement('style');var textnode = "
                "document.createTextNode('%1');node.appendChild(textnode);head.appendChild(node);")
                .arg(css));
    }

    // Runs a script and waits for its result; an invalid QVariant when it threw or timed out.
    QVariant run(const QString& script)
    {
        QEventLoop loop;
        QVariant result;
        page->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            loop.quit();
        });
        QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        return result;
    }

    // The text as a JavaScript string literal's contents, escaped as the bridge escapes it.
    // Carriage returns are escaped too: a raw one would end the script with a syntax error.
    static QString literal(QString text)
    {
        return text.replace('\\', "\\\\")
            .replace('\n', "\\n")
            .replace('\r', "\\r")
            .replace('"', "\\\"")
            .replace('\'', "\\'");
    }

    static QString options(bool all)
    {
        return QStringLiteral("{include_mathml_word: %1, include_mathml: %1, include_asciimath: %1, "
                              "include_latex: false, include_svg: true, include_table_html: true, "
                              "include_tsv: %1, include_csv: %1, include_smiles: true}")
            .arg(all ? "true" : "false");
    }

    static QString textScript(const QString& text, bool allFormats = true, bool copyButton = false)
    {
        return QStringLiteral("window.setText(\"%1\", \"left\", %2, {copyButtonEnabled: %3})")
            .arg(literal(text), options(allFormats), copyButton ? "true" : "false");
    }

    static QString latexScript(const QString& latex, bool allFormats = true)
    {
        return QStringLiteral("window.setText(\"\\\\[%1\\\\]\", \"center\", %2, {copyButtonEnabled: false})")
            .arg(literal(latex), options(allFormats));
    }

    QVariant setLatex(const QString& latex) { return run(latexScript(latex)); }

    // Values of one format type in the order the page reported them; every format for "*".
    QStringList formatValues(const QString& type)
    {
        const auto reply =
            QJsonDocument::fromJson(run(QStringLiteral("window.getFormats()")).toString().toUtf8());
        QStringList values;
        for (const auto& entry : reply.object().value(QStringLiteral("formats")).toArray()) {
            const QJsonObject format = entry.toObject();
            if (type == QLatin1String("*") || format.value(QStringLiteral("type")).toString() == type)
                values.append(format.value(QStringLiteral("value")).toString());
        }
        return values;
    }

    bool chemistryReady()
    {
        return run(QStringLiteral("document.documentElement.dataset.chemistry === 'ready'")).toBool();
    }

    QWebEngineView view;
    RecordingPage* page = nullptr;
    double loadMs = 0;
};

} // namespace zq::test
