// Runs a formula corpus (JSON lines with "id", "tex" and "display") through the editor page in a real
// web engine, as the bridge shows formulas: each formula shown, its formats asked for, then shown
// and asked again. Prints how many render and yield formula formats on each show; with a second
// argument, writes each formula's MathML and AsciiMath there as JSON lines for the Node check.
// Usage: bench_editor_corpus [corpus.jsonl [out.jsonl]]

#include "support/TestEnvironment.h"
#include "view/EditorPageHarness.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

using zq::test::EditorPageHarness;

namespace {

struct Show
{
    bool rendered = false;
    bool formats = false;
};

// One show of a formula: whether it rendered, and whether every formula format came back.
Show show(EditorPageHarness& page, const QJsonObject& formula, QJsonObject* record)
{
    const QString tex = formula.value(QStringLiteral("tex")).toString();
    const QVariant reply = formula.value(QStringLiteral("display")).toBool()
                               ? page.setLatex(tex)
                               : page.run(EditorPageHarness::textScript(QStringLiteral("$%1$").arg(tex)));
    Show result;
    result.rendered = reply.toList().value(0) == QVariant(false);
    QJsonObject found;
    for (const char* type : {"mathml", "mathmlword", "asciimath", "svg"}) {
        const QStringList values = page.formatValues(QString::fromLatin1(type));
        if (!values.isEmpty())
            found.insert(QString::fromLatin1(type), values.first());
    }
    result.formats = found.size() == 4;
    if (record)
        *record = found;
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    QApplication app(argc, argv);
    zq::test::prepareApplication();
    // Without an argument, the corpus that the Node check uses.
    QFile corpus(argc > 1 ? QString::fromLocal8Bit(argv[1])
                          : QFileInfo(QStringLiteral(__FILE__)).absolutePath() +
                                QStringLiteral("/../../editor/test/corpus/katex-ss.jsonl"));
    if (!corpus.open(QIODevice::ReadOnly)) {
        qCritical("[bench_editor_corpus] Usage: bench_editor_corpus [corpus.jsonl [out.jsonl]]");
        return 2;
    }
    EditorPageHarness page;
    if (!page.load()) {
        qCritical("[bench_editor_corpus] The editor page did not load");
        return 1;
    }
    QSaveFile out(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    if (argc > 2 && !out.open(QIODevice::WriteOnly))
        return 1;
    int total = 0, rendered = 0, formats = 0, renderedAgain = 0, formatsAgain = 0;
    QStringList failed;
    while (!corpus.atEnd()) {
        const QJsonObject formula = QJsonDocument::fromJson(corpus.readLine()).object();
        if (formula.isEmpty())
            continue;
        QJsonObject record;
        const Show first = show(page, formula, &record);
        const Show again = show(page, formula, nullptr);
        ++total;
        rendered += first.rendered;
        formats += first.rendered && first.formats;
        renderedAgain += again.rendered;
        formatsAgain += again.rendered && again.formats;
        if (first.rendered != again.rendered || first.formats != again.formats || !first.formats)
            failed << formula.value(QStringLiteral("id")).toString();
        record.insert(QStringLiteral("id"), formula.value(QStringLiteral("id")));
        record.insert(QStringLiteral("rendered"), first.rendered && again.rendered);
        if (out.isOpen())
            out.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
    }
    if (out.isOpen() && !out.commit())
        return 1;
    QTextStream(stdout) << QStringLiteral(
                               "%1 formulas: rendered %2, with all formula formats %3; shown again: "
                               "rendered %4, with all formula formats %5\nnot rendered with formats "
                               "on both shows: %6\n")
                               .arg(total)
                               .arg(rendered)
                               .arg(formats)
                               .arg(renderedAgain)
                               .arg(formatsAgain)
                               .arg(failed.join(QStringLiteral(", ")));
    return 0;
}
