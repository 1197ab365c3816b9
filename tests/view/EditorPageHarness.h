#pragma once

// Drives the editor page in a real QWebEngineView the way the application's bridge does: the
// same scripts, the same escaping, results read back synchronously by spinning the event loop.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <memory>

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
    static constexpr int kTimeoutMs = 60000;

    explicit EditorPageHarness(const QSize& size = QSize(800, 600))
    {
        view.resize(size);
        page = new RecordingPage(&view);
        view.setPage(page);
        view.settings()->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, true);
        view.settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    }

    // Loads the page and runs what the bridge runs after a successful load. Returns whether
    // the load succeeded and the font-size script answered true.
    bool load(const QString& bodyStyle = QStringLiteral("margin: 5px 5px 5px 5px;"))
    {
        QEventLoop loop;
        bool ok = false;
        QObject::connect(page, &QWebEnginePage::loadFinished, &loop, [&](bool success) {
            ok = success;
            loop.quit();
        });
        QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
        // A hidden view lays out in a viewport of no width: show it, as the application does.
        view.show();
        QElapsedTimer clock;
        clock.start();
        page->load(QUrl(QStringLiteral("qrc:/html/zorvane_qelting_editor.html")));
        loop.exec();
        loadMs = clock.nsecsElapsed() / 1e6;
        if (!ok)
            return false;
        addStyle(QStringLiteral("body {%1}").arg(bodyStyle));
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
        bool done = false;
        page->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
            loop.quit();
        });
        if (!done) {
            QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
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

    static QString options(bool all = true)
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

    QVariant setText(const QString& text, bool allFormats = true, bool copyButton = false)
    {
        return run(textScript(text, allFormats, copyButton));
    }

    QVariant setLatex(const QString& latex, bool allFormats = true)
    {
        return run(latexScript(latex, allFormats));
    }

    // The formats reply parsed, or an empty object when it was no JSON object.
    QJsonObject formats()
    {
        return QJsonDocument::fromJson(run(QStringLiteral("window.getFormats()")).toString().toUtf8())
            .object();
    }

    // Values of one format type, in the order the page reported them.
    QStringList formatValues(const QString& type)
    {
        QStringList values;
        for (const auto& entry : formats().value(QStringLiteral("formats")).toArray()) {
            if (entry.toObject().value(QStringLiteral("type")).toString() == type)
                values.append(entry.toObject().value(QStringLiteral("value")).toString());
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
