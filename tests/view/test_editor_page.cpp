#include "support/TestMain.h"
#include "view/EditorPageHarness.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHostAddress>
#include <QTcpServer>

#include <memory>

using zq::test::EditorPageHarness;

namespace {

// {valid, latexFailed, width, height} of a text reply; valid only when it has the bridge's shape.
struct Reply
{
    bool valid = false, latexFailed = false;
    double width = -1, height = -1;
};

Reply parse(const QVariant& result)
{
    const QVariantList list = result.toList();
    const QVariantMap size = list.value(1).toMap();
    if (result.type() != QVariant::List || list.size() != 2 || list[0].type() != QVariant::Bool ||
        list[1].type() != QVariant::Map || !size.contains("width") || !size.contains("height"))
        return {};
    return {true, list[0].toBool(), size.value("width").toDouble(), size.value("height").toDouble()};
}

} // namespace

// The editor page in a real web engine, driven with the scripts the application sends.
class TestEditorPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<EditorPageHarness> page;

    Reply show(const QString& text) { return parse(page->run(EditorPageHarness::textScript(text))); }

private slots:
    void initTestCase()
    {
        page = std::make_unique<EditorPageHarness>();
        QVERIFY(page->load());
        // The chemistry engine starts for the first molecule. This engine reports compiling its
        // WebAssembly as an eval, although the policy allows it; count what the texts cause from then on.
        page->run(EditorPageHarness::textScript("<smiles>C</smiles>"));
        QTRY_VERIFY_WITH_TIMEOUT(page->chemistryReady(), EditorPageHarness::kTimeoutMs);
        page->run("window.violations = []; document.addEventListener('securitypolicyviolation', "
                  "e => window.violations.push(e.violatedDirective + ' ' + e.blockedURI));");
    }

    void cleanupTestCase()
    {
        // The page catches its own failures; nothing may escape as an uncaught error.
        const QStringList uncaught = page->page->consoleErrors.filter("Uncaught");
        QVERIFY2(uncaught.isEmpty(), qPrintable(uncaught.join('\n')));
    }

    void everyTextGetsTheReplyShape_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("failed");
        const auto text = [](const char* t) { return EditorPageHarness::textScript(t); };
        QTest::newRow("latex") << EditorPageHarness::latexScript("\\sum_{i=1}^n i") << false;
        QTest::newRow("two arguments") << "window.setText(\"No solution available.\", \"center\")" << false;
        QTest::newRow("empty text") << text("") << false;
        QTest::newRow("no arguments") << "window.setText()" << false;
        QTest::newRow("number and junk options") << "window.setText(42, 7, 'x', null)" << false;
        QTest::newRow("object text") << "window.setText({toString() { throw 1; }}, 'left')" << false;
        QTest::newRow("very long text")
            << "window.setText('$5 \\\\( <smiles>'.repeat(30000), 'left')" << false;
        QTest::newRow("unbalanced braces") << text("\\[\\frac{a}{b\\]") << true;
        QTest::newRow("unknown macro inline") << text("Text $\\notamacro{x}$ text") << true;
        QTest::newRow("bad environment") << text("\\begin{align} a &= \\end{matrix} \\end{align}") << true;
        QTest::newRow("links are not maths") << text("$\\href{https://x.invalid}{x}$") << true;
        QTest::newRow("dollars as money") << text("It costs $5 and $6 today.") << false;
        QTest::newRow("broken tabular stays text") << text("\\begin{tabular}{cc} a & b") << false;
    }

    void everyTextGetsTheReplyShape()
    {
        QFETCH(QString, script);
        QFETCH(bool, failed);
        const Reply reply = parse(page->run(script));
        QVERIFY(reply.valid && reply.width >= 0 && reply.height >= 0);
        QCOMPARE(reply.latexFailed, failed);
        // The formats reply stays a JSON object whatever came before.
        QCOMPARE(page->run("Array.isArray(JSON.parse(window.getFormats()).formats)"), QVariant(true));
    }

    void sizeFollowsContentFontAndWidth()
    {
        for (const char* bad : {"'large'", "-3", "Symbol()"})
            QCOMPARE(page->run(QString("window.setFontSize(%1);").arg(bad)), QVariant(false));
        const Reply one = show("One line"), longer = show("One line that is a good deal longer");
        QVERIFY(one.height > 10 && longer.width > one.width && longer.height == one.height);
        QVERIFY(show("One\n\nTwo\n\nThree\n\nFour\n\nFive").height > 4 * one.height);
        QVERIFY(parse(page->setLatex("\\frac{\\frac{a}{b}}{\\frac{c}{d}}")).height >
                parse(page->setLatex("a")).height);
        // Overflowing content is measured whole.
        QVERIFY(parse(page->setLatex(QString("x_1 + x_2 + x_3").repeated(30))).width > page->view.width());
        const Reply normal = show("Text and $\\frac{a}{b}$");
        QCOMPARE(page->run("window.setFontSize(32);"), QVariant(true));
        const Reply large = show("Text and $\\frac{a}{b}$");
        page->run("window.setFontSize(16);");
        QVERIFY(large.width > 1.7 * normal.width && large.height > 1.7 * normal.height);

        // The bridge's sequence for a text applied with width; without it the text wraps in the view.
        const QString words = QString("word ").repeated(200);
        QVERIFY(show("short").width < 100);
        page->run("document.getElementById('content').style.width=screen.width / 2 - 20 + 'px';");
        const Reply forced = show(words);
        page->run("document.getElementById('content').style.removeProperty('width');");
        QCOMPARE(forced.width, page->run("screen.width / 2 - 20").toDouble());
        const Reply wrapped = show(words);
        QVERIFY(forced.width > page->view.width() && wrapped.width <= page->view.width());
        QVERIFY(wrapped.height > forced.height);

        const QString sides = "(() => { const c = document.getElementById('content').getBoundingClientRect();"
                              " const b = document.body.getBoundingClientRect(); return [c.left - b.left, "
                              "b.right - c.right]; })()";
        page->run("window.setText(\"Short\", \"center\")");
        const QVariantList centred = page->run(sides).toList();
        QVERIFY(centred[0].toDouble() > 100 && qAbs(centred[0].toDouble() - centred[1].toDouble()) <= 1);
        page->run("window.setText(\"Short\", \"left\")");
        QCOMPARE(page->run(sides).toList()[0].toDouble(), 0.0);
    }

    // Each row: a script, the format types ("*" for all), the pattern that their values joined by "|"
    // match, and a script about the rendering that must answer true.
    void textYieldsItsFormats_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("rendered");
        const auto row = [](const char* name, const QString& script, const char* type, const QString& pattern,
                            const char* rendered = "true") {
            QTest::newRow(name) << script << QString(type) << pattern << QString(rendered);
        };
        const auto latex = [](const QString& tex) {
            return EditorPageHarness::latexScript(tex).replace("include_latex: false", "include_latex: true");
        };
        const auto plain = [](const QString& text) {
            return QString("window.setText(\"%1\", \"left\")").arg(EditorPageHarness::literal(text));
        };
        const QString formula = EditorPageHarness::latexScript("\\frac{a+b}{2}");
        row("mathml", formula, "mathml", "<math xmlns=\"http://www.w3.org/1998/Math/MathML\".*<mfrac>.*");
        row("word mathml", formula, "mathmlword", "<mml:math xmlns:mml=(?!.*data-).*");
        row("asciimath", formula, "asciimath", "\\(a \\+ b\\)/2");
        row("standalone svg", formula, "svg", "<svg xmlns=\"http://www.w3.org/2000/svg\".*<defs>.*");
        row("no table or latex for a formula", formula, "html|latex", "");
        row("only svg without options", EditorPageHarness::latexScript("x^2", false), "*", "<svg[^|]*");
        row("nothing from the two-argument form", "window.setText(\"$x$ and $y$\", \"center\")", "*", "");
        // The text reaches the page unchanged; Markdown reads line ends as line feeds.
        row("backslashes and quotes", latex("\\text{\"it's\"} \\\\ a"), "latex",
            "\\\\text\\{\"it's\"\\} \\\\\\\\ a");
        row("line ends", latex("a\n+\r\nb"), "latex", "a\n\\+\nb");
        row("line separator", latex(QString("a %1 b").arg(QChar(0x2028))), "latex",
            QString("a %1 b").arg(QChar(0x2028)));
        const QString tabular = EditorPageHarness::textScript(
            "Results:\n\n\\begin{tabular}{|l|c|}\n\\hline\nName & Value, \"quoted\" \\\\\n\\hline\n"
            "\\multicolumn{2}{|c|}{Total} \\\\\n$x^2$ & 50\\% \\\\\n\\hline\n\\end{tabular}\n");
        row("tabular csv", tabular, "csv", "Name,\"Value, \"\"quoted\"\"\"\r\nTotal,\r\n\\$x\\^2\\$,50%",
            "document.querySelectorAll('#content td').length === 5 && "
            "document.querySelectorAll('#content td svg').length === 1");
        row("tabular tsv", tabular, "tsv", "Name\t\"Value, \"\"quoted\"\"\"\nTotal\t\n\\$x\\^2\\$\t50%");
        row("tabular markdown", tabular, "table-markdown",
            "\\| Name \\| Value, \"quoted\" \\|\n\\|:---\\|:---:\\|\n\\| Total \\| \\|\n\\| \\$x\\^2\\$ \\| "
            "50% \\|");
        row("tabular html", tabular, "html", "<table><tr><td[^|]*<td colspan=\"2\"[^|]*");
        row("markdown table", EditorPageHarness::textScript("| A | B |\n|---|--:|\n| 1,5 | two |\n"),
            "csv|tsv|table-markdown", "A,B\r\n\"1,5\",two\\|A\tB\n1,5\ttwo");
        const char* molecule = "document.querySelectorAll('#content .zq-molecule svg').length === 1";
        row("smiles fence", plain("Ethanol:\n\n```smiles\nCCO\n```\n"), "smiles", "CCO", molecule);
        row("smiles tag", plain("Ethanol: <smiles>CCO</smiles>"), "inchi",
            "InChI=1S/C2H6O/c1-2-3/h3H,2H2,1H3", molecule);
        row("upper-case tag", plain("Ethanol: <SMILES>CCO</SMILES>"), "inchi_key",
            "LFQSCWFLJHTTHZ-UHFFFAOYSA-N", molecule);
        row("mol block", plain("<smiles>CCO</smiles>"), "mol", ".*V2000.*M  END.*");
        row("invalid smiles keeps only its string", plain("<smiles>C1CC(</smiles>"), "*", "C1CC\\(",
            "document.querySelector('#content .zq-molecule').textContent === 'C1CC('");
        // The formula stays where it was written and the markup keeps its own text.
        row("markup posing as a slot", plain("<span data-zq-slot=\"0\" class=\"zq-slot\">x</span> $y$"), "*",
            "",
            "document.querySelectorAll('#content mjx-container').length === 1 && "
            "document.querySelector('#content p').firstChild.textContent === 'x' && "
            "document.querySelector('#content p').lastElementChild.tagName === 'MJX-CONTAINER'");
    }

    void textYieldsItsFormats()
    {
        QFETCH(QString, script);
        QFETCH(QString, type);
        QFETCH(QString, pattern);
        QFETCH(QString, rendered);
        QVERIFY(parse(page->run(script)).valid);
        QStringList values;
        for (const QString& one : type.split('|'))
            values += page->formatValues(one);
        const QRegularExpression expected(QRegularExpression::anchoredPattern(pattern),
                                          QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(expected.match(values.join('|')).hasMatch(), qPrintable(values.join('|')));
        QCOMPARE(page->run(rendered), QVariant(true));
    }

    // Each text starts from a clean TeX state, and asking for formats registers nothing again.
    void eachTextHasItsOwnTexState_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("asciimath");
        QTest::newRow("label shown twice") << "a = b \\label{eq}"
                                           << "a = b \\label{eq}"
                                           << "a = b";
        QTest::newRow("same macro name") << "\\newcommand{\\q}{x} \\q"
                                         << "\\newcommand{\\q}{y} \\q"
                                         << "y";
        QTest::newRow("no macro from before") << "\\newcommand{\\q}{x} \\q"
                                              << "\\q"
                                              << "";
    }

    void eachTextHasItsOwnTexState()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, asciimath);
        QVERIFY(!parse(page->setLatex(first)).latexFailed);
        QCOMPARE(page->formatValues("asciimath").size(), 1);
        QCOMPARE(parse(page->setLatex(second)).latexFailed, asciimath.isEmpty());
        for (int ask = 0; ask < 2; ++ask)
            QCOMPARE(page->formatValues("asciimath").join('|'), asciimath);
    }

    void coloursComeOnlyFromInjectedStyles()
    {
        page->addStyle("body { background-color: #102030; color: #e0d0c0; }");
        show("Text, `code`, [a link](https://x.invalid), $\\sqrt{x}$\n\n| a |\n|---|\n| b |\n\n"
             "<smiles>c1ccccc1</smiles>");
        // Every element draws in the text colour, and nothing paints a background of its own.
        const QVariant offenders = page->run(
            "Array.from(document.querySelectorAll('#content, #content *')).filter(e => {"
            " if (e.closest('defs') || ['svg', 'g', 'defs', 'use'].includes(e.tagName)) return false;"
            " const s = getComputedStyle(e), ink = ['none', 'rgb(224, 208, 192)'];"
            " const svg = e instanceof SVGElement && (!ink.includes(s.fill) || !ink.includes(s.stroke));"
            " return s.backgroundColor !== 'rgba(0, 0, 0, 0)' || s.color !== ink[1] || svg;"
            " }).map(e => e.tagName).join(',')");
        QCOMPARE(offenders, QVariant(QString()));
        page->addStyle("body { background-color: #ffffff; color: #000000; }");
    }

    void copyButtonCopiesTheSourceText()
    {
        const QString text = "Copy $x^2$ please", hidden = "document.querySelector('.zq-copy-button').hidden";
        page->run(EditorPageHarness::textScript(text, true, false));
        QCOMPARE(page->run(hidden), QVariant(true));
        page->run(EditorPageHarness::textScript(text, true, true));
        QCOMPARE(page->run(hidden), QVariant(false));
        QGuiApplication::clipboard()->clear();
        page->run("document.querySelector('.zq-copy-button').click()");
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), text);
    }

    // Recognised text is untrusted: none of these may run script, load anything or navigate.
    void hostileTextDoesNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("script tag") << "<script>window.pwned = 1</script>";
        QTest::newRow("event attribute") << "<img src=x onerror=\"window.pwned = 1\">";
        QTest::newRow("svg onload") << "<svg onload=\"window.pwned = 1\"></svg>";
        QTest::newRow("javascript link") << "[click](javascript:window.pwned=1)";
        QTest::newRow("html javascript link") << "<a href=\"javascript:window.pwned=1\">x</a>";
        QTest::newRow("remote image") << "![r](http://%1/markdown.png)";
        QTest::newRow("remote html image") << "<img src=\"http://%1/img.png\" alt=\"pic\">";
        QTest::newRow("remote link") << "[go](http://%1/page)";
        QTest::newRow("style url") << "<div style=\"background:url(http://%1/bg.png)\">x</div>";
        QTest::newRow("style element") << "<style>body{background:url(http://%1/style.png)}</style>";
        QTest::newRow("iframe") << "<iframe src=\"http://%1/frame\"></iframe>";
        QTest::newRow("meta refresh") << "<meta http-equiv=\"refresh\" content=\"0;url=http://%1/\">";
        QTest::newRow("form") << "<form action=\"http://%1/f\"><button>go</button></form>";
        QTest::newRow("base") << "<base href=\"http://%1/\">[rel](x.html)";
        QTest::newRow("clobbering id") << "<p id=\"content\">a</p><img name=\"getFormats\">";
        QTest::newRow("markup in maths") << "$\\text{<img src=x onerror=window.pwned=1>}$";
        QTest::newRow("tex href") << "$\\href{javascript:window.pwned=1}{x}$";
        QTest::newRow("tex style") << "$\\style{background:url(http://%1/s)}{x}$";
        QTest::newRow("tex require") << "$\\require{http://%1/ext.js} x$";
        QTest::newRow("smiles markup") << "<smiles><img src=x onerror=window.pwned=1></smiles>";
        QTest::newRow("tabular cell") << "\\begin{tabular}{c} <img src=x onerror=window.pwned=1> \\\\ "
                                         "[a](javascript:window.pwned=1) \\end{tabular}";
    }

    void hostileTextDoesNothing()
    {
        QFETCH(QString, text);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const int navigations = page->page->navigations.size();
        QVERIFY(show(text.contains("%1") ? text.arg(QString("127.0.0.1:%1").arg(server.serverPort())) : text)
                    .valid);
        // Follow every link the rendering has, as a user might.
        page->run("document.querySelectorAll('#content a').forEach(a => a.click()); window.getFormats()");
        QCOMPARE(page->run("typeof window.pwned"), QVariant("undefined"));
        // Nothing needed the policy to stop it, except a base element, which the sanitiser's own
        // parsing meets before it removes it.
        QCOMPARE(page->run("window.violations.filter(v => !v.startsWith('base-uri')).join()"), QVariant(""));
        QCOMPARE(page->page->navigations.size(), navigations);
        QCOMPARE(page->run("location.href"), QVariant("qrc:/html/zorvane_qelting_editor.html"));
        const QString active = "script, iframe, style, form, meta, base, [onerror], [onload]";
        QCOMPARE(
            page->run(QString("document.querySelectorAll('#content %1, [src^=\"http\"], [style*=\"url\"]')"
                              ".length")
                          .arg(active.split(", ").join(", #content "))),
            QVariant(0));
        QVERIFY(!server.hasPendingConnections() && !server.waitForNewConnection(0));
        // The page still works afterwards.
        show("fine");
        QCOMPARE(page->run("document.getElementById('content').textContent.trim()"), QVariant("fine"));
    }
};

ZQ_TEST_MAIN(TestEditorPage)
#include "test_editor_page.moc"
