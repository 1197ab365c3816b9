// Times the editor page in a real web engine: how soon it is ready after loading, how long
// setText and getFormats take. Each figure is the median of repeated runs, printed with its
// ratio to a baseline measured in the same run (an empty page's load, a trivial script call).

#include "support/TestEnvironment.h"
#include "view/EditorPageHarness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <vector>

using zq::test::EditorPageHarness;

namespace {

double quantile(std::vector<double> values, double q)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(values.size() - 1, size_t(q * values.size()))];
}

double median(std::vector<double> values)
{
    return quantile(std::move(values), 0.5);
}

void print(const QString& name, double ms, double baselineMs, const QString& target)
{
    QTextStream(stdout) << QStringLiteral("%1: %2 ms (%3x baseline of %4 ms; target %5)\n")
                               .arg(name, -44)
                               .arg(ms, 0, 'f', 2)
                               .arg(baselineMs > 0 ? ms / baselineMs : 0, 0, 'f', 2)
                               .arg(baselineMs, 0, 'f', 2)
                               .arg(target);
}

// Time spent inside the page by one call, measured by the page's own clock.
double inPage(EditorPageHarness& page, const QString& call)
{
    return page
        .run(QStringLiteral("(() => { const t = performance.now(); %1; return performance.now() - t; })()")
                 .arg(call))
        .toDouble();
}

QString document40Lines()
{
    QStringList lines;
    for (int i = 0; i < 10; ++i) {
        lines << QStringLiteral("Paragraph %1 states that $x_%1^2 + y_%1^2 = r_%1^2$ holds for every point.")
                     .arg(i)
              << QStringLiteral(
                     "\\[\\int_0^{%1} \\frac{\\sin t}{t+%1}\\,dt \\le \\sum_{k=1}^{%1} \\frac{1}{k^2}\\]")
                     .arg(i + 1)
              << QString();
    }
    lines << QStringLiteral("\\begin{tabular}{|l|c|r|}") << QStringLiteral("\\hline")
          << QStringLiteral("a & b & c \\\\") << QStringLiteral("1 & 2 & 3 \\\\")
          << QStringLiteral("4 & 5 & 6 \\\\") << QStringLiteral("\\hline")
          << QStringLiteral("\\end{tabular}");
    while (lines.size() < 40)
        lines << QStringLiteral("A closing sentence without maths.");
    return lines.join(QLatin1Char('\n'));
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    QApplication app(argc, argv);
    zq::test::prepareApplication();

    // Load: the editor page against an empty page, each in a fresh view.
    std::vector<double> loads, blankLoads, chemistry, firstTexts;
    for (int i = 0; i < 7; ++i) {
        {
            EditorPageHarness blank;
            blank.view.show();
            QEventLoop loop;
            QObject::connect(blank.page, &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
            QElapsedTimer clock;
            clock.start();
            blank.page->setHtml(
                QStringLiteral("<!DOCTYPE html><html><body><div id=\"content\"></div></body></html>"),
                QUrl(QStringLiteral("qrc:/")));
            loop.exec();
            blankLoads.push_back(clock.nsecsElapsed() / 1e6);
        }
        EditorPageHarness page;
        if (!page.load()) {
            qCritical("[bench_editor_page] The editor page did not load");
            return 1;
        }
        loads.push_back(page.loadMs);
        // The first text as the application sends it right after the load: it may still start the
        // TeX engine, which the page otherwise warms up as soon as it has loaded.
        QElapsedTimer first;
        first.start();
        page.setLatex(QStringLiteral("\\frac{a+b}{\\sqrt{x^2+1}}"));
        firstTexts.push_back(first.nsecsElapsed() / 1e6);
        // The chemistry engine starts for the first molecule.
        QElapsedTimer ready;
        ready.start();
        page.run(EditorPageHarness::textScript(QStringLiteral("<smiles>CCO</smiles>")));
        while (!page.chemistryReady() && ready.elapsed() < EditorPageHarness::kTimeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        chemistry.push_back(ready.nsecsElapsed() / 1e6);
    }
    print(QStringLiteral("page ready after load"), median(loads), median(blankLoads),
          QStringLiteral("<= 300 ms"));
    print(QStringLiteral("first formula right after load (round trip)"), median(firstTexts),
          median(blankLoads), QStringLiteral("-"));
    print(QStringLiteral("chemistry engine ready after the first molecule"), median(chemistry),
          median(blankLoads), QStringLiteral("none; a molecule's text waits for it"));

    EditorPageHarness page;
    page.load();
    // The machine's pace in the same run: a fixed piece of plain JavaScript work.
    std::vector<double> trivial;
    for (int i = 0; i < 30; ++i)
        trivial.push_back(inPage(
            page,
            QStringLiteral(
                "let s = 0; for (let k = 0; k < 20000; k++) s += Math.sqrt(k) * (k % 7); window.sink = s;"
                "const a = Array.from({length: 2000}, (_, k) => (k * 7919) % 10007); a.sort((x, y) => x - y);"
                "window.sink2 = JSON.parse(JSON.stringify(a)).length")));
    std::vector<double> roundTrips;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer clock;
        clock.start();
        page.run(QStringLiteral("window.setFontSize(16);"));
        roundTrips.push_back(clock.nsecsElapsed() / 1e6);
    }
    const double trivialMs = std::max(median(trivial), 0.001);

    // A new formula each time, so that nothing is served from a cache.
    std::vector<double> formula, formulaTrip, formats;
    for (int i = 0; i < 50; ++i) {
        const QString script =
            EditorPageHarness::latexScript(QStringLiteral("\\frac{a_{%1}+b}{\\sqrt{x^2+%1}}").arg(i));
        formula.push_back(inPage(page, script));
        QElapsedTimer clock;
        clock.start();
        page.run(script);
        formulaTrip.push_back(clock.nsecsElapsed() / 1e6);
        formats.push_back(inPage(page, QStringLiteral("window.getFormats()")));
    }
    print(QStringLiteral("setText, one-line formula (in page)"), median(formula), trivialMs,
          QStringLiteral("<= 10 ms"));
    print(QStringLiteral("setText, one-line formula (in page), p95"), quantile(formula, 0.95), trivialMs,
          QStringLiteral("<= 20 ms"));
    print(QStringLiteral("setText, one-line formula (round trip)"), median(formulaTrip), median(roundTrips),
          QStringLiteral("-"));
    print(QStringLiteral("getFormats, one formula, all formats"), median(formats), trivialMs,
          QStringLiteral("<= 50 ms"));

    const QString document = document40Lines();
    std::vector<double> documents;
    for (int i = 0; i < 20; ++i)
        documents.push_back(
            inPage(page, EditorPageHarness::textScript(document + QString(i, QLatin1Char(' ')))));
    print(QStringLiteral("setText, 40 lines, 20 formulas, a table"), median(documents), trivialMs,
          QStringLiteral("<= 150 ms"));
    return 0;
}
