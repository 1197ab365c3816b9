#include "support/TestMain.h"
#include "view/EditorPageHarness.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHostAddress>
#include <QTcpServer>

#include <memory>

using zq::test::EditorPageHarness;

namespace {

// {latexFailed, width, height} of a text reply, or nothing when the reply has the wrong shape.
struct Reply
{
    bool valid = false;
    bool latexFailed = false;
    double width = -1;
    double height = -1;
};

Reply parse(const QVariant& result)
{
    const QVariantList list = result.toList();
    if (result.type() != QVariant::List || list.size() != 2 || list[0].type() != QVariant::Bool ||
        list[1].type() != QVariant::Map)
        return {};
    const QVariantMap size = list[1].toMap();
    if (!size.contains("width") || !size.contains("height"))
        return {};
    return {true, list[0].toBool(), size.value("width").toDouble(), size.value("height").toDouble()};
}

} // namespace

// The editor page in a real web engine, driven with the scripts the application sends.
class TestEditorPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<EditorPageHarness> page;

    // The text's reply, failing the test when it has the wrong shape.
    Reply show(const QString& text)
    {
        const Reply reply = parse(page->setText(text));
        if (!reply.valid)
            QTest::qFail("the reply to setText has the wrong shape", __FILE__, __LINE__);
        return reply;
    }

    QVariant count(const QString& selector)
    {
        return page->run(QString("document.querySelectorAll('%1').length").arg(selector));
    }

private slots:
    void initTestCase()
    {
        page = std::make_unique<EditorPageHarness>();
        QVERIFY(page->load());
        // This engine reports compiling the chemistry engine's WebAssembly as an eval, although the
        // policy allows it; count what the texts cause from then on.
        QTRY_VERIFY_WITH_TIMEOUT(page->chemistryReady(), EditorPageHarness::kTimeoutMs);
        page->run("window.violations = []; document.addEventListener('securitypolicyviolation', "
                  "e => window.violations.push(e.violatedDirective + ' ' + e.blockedURI));");
    }

    void cleanupTestCase()
    {
        // The page catches its own failures; nothing may escape as an uncaught error.
        const QStringList uncaught = page->page->consoleErrors.filter("Uncaught");
        QVERIFY2(uncaught.isEmpty(), qPrintable(uncaught.join('\n')));
        page.reset();
    }

    void fontSizeAcceptsOnlyUsableSizes()
    {
        QCOMPARE(page->run("window.setFontSize(20);"), QVariant(true));
        for (const char* bad : {"'large'", "-3", "Symbol()"})
            QCOMPARE(page->run(QString("window.setFontSize(%1);").arg(bad)), QVariant(false));
        QCOMPARE(page->run("getComputedStyle(document.body).fontSize"), QVariant("20px"));
        QCOMPARE(page->run("window.setFontSize(16);"), QVariant(true));
    }

    void everyScriptFormAnswersWithTheReplyShape_data()
    {
        QTest::addColumn<QString>("script");
        QTest::newRow("markdown") << EditorPageHarness::textScript("Some *text* with $x$");
        QTest::newRow("latex") << EditorPageHarness::latexScript("\\sum_{i=1}^n i");
        QTest::newRow("two arguments") << "window.setText(\"No solution available.\", \"center\")";
        QTest::newRow("empty text") << EditorPageHarness::textScript(QString());
        QTest::newRow("no arguments") << "window.setText()";
        QTest::newRow("number and junk options") << "window.setText(42, 7, 'x', null)";
        QTest::newRow("object text") << "window.setText({toString() { throw 1; }}, 'left')";
        QTest::newRow("very long text") << "window.setText('$5 \\\\( <smiles>'.repeat(30000), 'left')";
    }

    void everyScriptFormAnswersWithTheReplyShape()
    {
        QFETCH(QString, script);
        const Reply reply = parse(page->run(script));
        QVERIFY(reply.valid);
        QVERIFY(!reply.latexFailed);
        QVERIFY(reply.width >= 0 && reply.height >= 0);
        // The formats reply stays a JSON object whatever came before.
        QVERIFY(page->formats().value("formats").isArray());
    }

    void escapedTextArrivesUnchanged_data()
    {
        QTest::addColumn<QString>("latex");
        QTest::newRow("backslashes and quotes") << "\\text{\"it's\"} \\\\ a \\backslash b";
        QTest::newRow("line feeds") << "a\n+\nb";
        QTest::newRow("carriage returns") << "a\r\n+\r\nb";
        QTest::newRow("line separator") << QString("a %1 b").arg(QChar(0x2028));
    }

    void escapedTextArrivesUnchanged()
    {
        QFETCH(QString, latex);
        const Reply reply = parse(page->setLatex(latex));
        QVERIFY(reply.valid);
        QVERIFY(!reply.latexFailed);
        // The page keeps what it was given; the LaTeX format hands it back.
        QVERIFY(parse(page->run(EditorPageHarness::latexScript(latex).replace("include_latex: false",
                                                                              "include_latex: true")))
                    .valid);
        // Markdown reads line ends as line feeds; everything else comes back as sent.
        QCOMPARE(page->formatValues("latex"), QStringList{QString(latex).replace("\r\n", "\n")});
    }

    void sizeGrowsWithContentAndFontSize()
    {
        const Reply one = show("One line");
        const Reply longer = show("One line that is a good deal longer");
        const Reply five = show("One\n\nTwo\n\nThree\n\nFour\n\nFive");
        const Reply tall = parse(page->setLatex("\\frac{\\frac{a}{b}}{\\frac{c}{d}}"));
        const Reply flat = parse(page->setLatex("a"));
        const Reply wide = parse(page->setLatex(QString("x_1 + x_2 + x_3").repeated(30)));
        QVERIFY(one.height > 10);
        QVERIFY(longer.width > one.width);
        QCOMPARE(longer.height, one.height);
        QVERIFY(five.height > 4 * one.height);
        QVERIFY(tall.height > flat.height);
        QVERIFY(wide.width > page->view.width()); // overflows and is measured whole

        const Reply normal = show("Text and $\\frac{a}{b}$");
        page->run("window.setFontSize(32);");
        const Reply large = show("Text and $\\frac{a}{b}$");
        page->run("window.setFontSize(16);");
        QVERIFY(large.width > 1.7 * normal.width);
        QVERIFY(large.height > 1.7 * normal.height);
    }

    void widthIsShrinkToFitUnlessForced()
    {
        const QString text = QString("word ").repeated(200);
        QVERIFY(show("short").width < 100);
        // The bridge's sequence for a text applied with width.
        page->run("document.getElementById('content').style.width=screen.width / 2 - 20 + 'px';");
        const Reply forced = show(text);
        page->run("document.getElementById('content').style.removeProperty('width');");
        const double expected = page->run("screen.width / 2 - 20").toDouble();
        QCOMPARE(forced.width, expected);
        // Without the width the text wraps in the view again, which is narrower than the forced width.
        const Reply wrapped = show(text);
        QVERIFY(expected > page->view.width());
        QVERIFY(wrapped.width <= page->view.width());
        QVERIFY(wrapped.height > forced.height);
    }

    void alignmentPlacesTheContent()
    {
        const QString margins =
            "(() => { const c = document.getElementById('content').getBoundingClientRect();"
            " const b = document.body.getBoundingClientRect(); return [c.left - b.left, "
            "b.right - c.right]; })()";
        page->run("window.setText(\"Short\", \"center\")");
        QVariantList sides = page->run(margins).toList();
        QVERIFY(sides[0].toDouble() > 100);
        QVERIFY(qAbs(sides[0].toDouble() - sides[1].toDouble()) <= 1);
        page->run("window.setText(\"Short\", \"left\")");
        QCOMPARE(page->run(margins).toList()[0].toDouble(), 0.0);
    }

    void latexFailedOnlyWhenLatexBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("failed");
        QTest::newRow("valid display") << "\\[\\frac{a}{b}\\]" << false;
        QTest::newRow("unbalanced braces") << "\\[\\frac{a}{b\\]" << true;
        QTest::newRow("unknown macro inline") << "Text $\\notamacro{x}$ text" << true;
        QTest::newRow("bad environment") << "\\begin{align} a &= \\end{matrix} \\end{align}" << true;
        QTest::newRow("links are not maths") << "$\\href{https://x.invalid}{x}$" << true;
        QTest::newRow("dollars as money") << "It costs $5 and $6 today." << false;
        QTest::newRow("plain text") << "No maths here." << false;
        QTest::newRow("broken tabular stays text") << "\\begin{tabular}{cc} a & b" << false;
    }

    void latexFailedOnlyWhenLatexBreaks()
    {
        QFETCH(QString, text);
        QFETCH(bool, failed);
        const Reply reply = show(text);
        QCOMPARE(reply.latexFailed, failed);
        QVERIFY(reply.height > 0);
    }

    void formulaYieldsTheFormatsAskedFor()
    {
        QVERIFY(parse(page->setLatex("\\frac{a+b}{2}")).valid);
        const QStringList mathml = page->formatValues("mathml");
        QCOMPARE(mathml.size(), 1);
        QVERIFY(mathml[0].startsWith("<math xmlns=\"http://www.w3.org/1998/Math/MathML\""));
        QVERIFY(mathml[0].contains("<mfrac>"));
        const QStringList word = page->formatValues("mathmlword");
        QCOMPARE(word.size(), 1);
        QVERIFY(word[0].startsWith("<mml:math xmlns:mml="));
        QVERIFY(!word[0].contains("data-"));
        QCOMPARE(page->formatValues("asciimath"), QStringList{"(a + b)/2"});
        const QStringList svg = page->formatValues("svg");
        QCOMPARE(svg.size(), 1);
        QVERIFY(svg[0].startsWith("<svg xmlns=\"http://www.w3.org/2000/svg\""));
        QVERIFY(svg[0].contains("<defs>")); // stands alone when pasted
        QVERIFY(page->formatValues("html").isEmpty());
        QVERIFY(page->formatValues("latex").isEmpty());

        QVERIFY(parse(page->setLatex("x^2", false)).valid);
        for (const char* type : {"mathml", "mathmlword", "asciimath"})
            QVERIFY2(page->formatValues(type).isEmpty(), type);
        QCOMPARE(page->formatValues("svg").size(), 1);
        // Without options only the chemistry family could come back.
        page->run("window.setText(\"$x$ and $y$\", \"center\")");
        QCOMPARE(page->formats().value("formats").toArray().size(), 0);
    }

    void tablesYieldTableFormats()
    {
        show("Results:\n\n\\begin{tabular}{|l|c|}\n\\hline\nName & Value, \"quoted\" \\\\\n\\hline\n"
             "\\multicolumn{2}{|c|}{Total} \\\\\n$x^2$ & 50\\% \\\\\n\\hline\n\\end{tabular}\n");
        QCOMPARE(page->formatValues("csv"),
                 QStringList{"Name,\"Value, \"\"quoted\"\"\"\r\nTotal,\r\n$x^2$,50%"});
        QCOMPARE(page->formatValues("tsv"), QStringList{"Name\tValue, \"quoted\"\nTotal\t\n$x^2$\t50%"});
        QCOMPARE(page->formatValues("table-markdown"),
                 QStringList{"| Name | Value, \"quoted\" |\n|:---|:---:|\n| Total | |\n| $x^2$ | 50% |"});
        const QStringList html = page->formatValues("html");
        QCOMPARE(html.size(), 1);
        QVERIFY(html[0].contains("<td colspan=\"2\""));
        // The rendering shows the table with its formula typeset.
        QCOMPARE(count("#content td"), QVariant(5));
        QCOMPARE(count("#content td svg"), QVariant(1));

        // A Markdown table has every table format but Markdown.
        show("| A | B |\n|---|--:|\n| 1,5 | two |\n");
        QCOMPARE(page->formatValues("csv"), QStringList{"A,B\r\n\"1,5\",two"});
        QCOMPARE(page->formatValues("tsv"), QStringList{"A\tB\n1,5\ttwo"});
        QCOMPARE(page->formatValues("html").size(), 1);
        QVERIFY(page->formatValues("table-markdown").isEmpty());
    }

    void smilesYieldsChemistryFormats_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("fence") << "Ethanol:\n\n```smiles\nCCO\n```\n";
        QTest::newRow("tag") << "Ethanol: <smiles>CCO</smiles>";
        QTest::newRow("upper-case tag") << "Ethanol: <SMILES>CCO</SMILES>";
    }

    void smilesYieldsChemistryFormats()
    {
        QFETCH(QString, text);
        // Without options too: the chemistry family is always reported.
        QVERIFY(parse(page->run(
                          QString("window.setText(\"%1\", \"left\")").arg(EditorPageHarness::literal(text))))
                    .valid);
        QCOMPARE(page->formatValues("smiles"), QStringList{"CCO"});
        const QStringList mol = page->formatValues("mol");
        QCOMPARE(mol.size(), 1);
        QVERIFY(mol[0].contains("V2000") && mol[0].contains("M  END"));
        QCOMPARE(page->formatValues("inchi"), QStringList{"InChI=1S/C2H6O/c1-2-3/h3H,2H2,1H3"});
        QCOMPARE(page->formatValues("inchi_key"), QStringList{"LFQSCWFLJHTTHZ-UHFFFAOYSA-N"});
        QCOMPARE(count("#content .zq-molecule svg"), QVariant(1));
    }

    void invalidSmilesShowsAsTextWithOnlyItsString()
    {
        show("<smiles>C1CC(</smiles>");
        QCOMPARE(page->formatValues("smiles"), QStringList{"C1CC("});
        QVERIFY(page->formatValues("mol").isEmpty());
        QCOMPARE(page->run("document.querySelector('#content .zq-molecule').textContent"), QVariant("C1CC("));
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
            " const s = getComputedStyle(e);"
            " const bg = s.backgroundColor !== 'rgba(0, 0, 0, 0)';"
            " const fg = s.color !== 'rgb(224, 208, 192)';"
            " const fill = e instanceof SVGElement && !['none', 'rgb(224, 208, 192)'].includes(s.fill);"
            " const stroke = e instanceof SVGElement && !['none', 'rgb(224, 208, 192)'].includes(s.stroke);"
            " return bg || fg || fill || stroke; }).map(e => e.tagName).join(',')");
        QCOMPARE(offenders, QVariant(QString()));
        page->addStyle("body { background-color: #ffffff; color: #000000; }");
    }

    void copyButtonCopiesTheSourceText()
    {
        const QString text = "Copy $x^2$ please";
        const QString hidden = "document.querySelector('.zq-copy-button').hidden";
        QVERIFY(parse(page->setText(text, true, false)).valid);
        QCOMPARE(page->run(hidden), QVariant(true));
        QVERIFY(parse(page->setText(text, true, true)).valid);
        QCOMPARE(page->run(hidden), QVariant(false));
        QGuiApplication::clipboard()->clear();
        page->run("document.querySelector('.zq-copy-button').click()");
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), text);
    }

    void markupCannotPoseAsAFormulaSlot()
    {
        show("<span data-zq-slot=\"0\" class=\"zq-slot\">x</span> $y$");
        // The formula stays where it was written and the markup keeps its own text.
        QCOMPARE(count("#content mjx-container"), QVariant(1));
        QCOMPARE(page->run("document.querySelector('#content p').firstChild.textContent"), QVariant("x"));
        QCOMPARE(page->run("document.querySelector('#content p').lastElementChild.tagName"),
                 QVariant("MJX-CONTAINER"));
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
        const QString host = QString("127.0.0.1:%1").arg(server.serverPort());
        const int navigations = page->page->navigations.size();
        show(text.contains("%1") ? text.arg(host) : text);
        // Follow every link the rendering has, as a user might.
        page->run("document.querySelectorAll('#content a').forEach(a => a.click())");
        page->run("window.getFormats()");
        QCOMPARE(page->run("typeof window.pwned"), QVariant("undefined"));
        // Nothing needed the policy to stop it, except a base element, which the sanitiser's own
        // parsing meets before it removes it.
        QCOMPARE(page->run("window.violations.filter(v => !v.startsWith('base-uri')).join()"),
                 QVariant(QString()));
        QCOMPARE(page->page->navigations.size(), navigations);
        QCOMPARE(page->run("location.href"), QVariant("qrc:/html/zorvane_qelting_editor.html"));
        QCOMPARE(count("#content script, #content iframe, #content style, #content form, #content meta, "
                       "#content base, #content [onerror], #content [onload]"),
                 QVariant(0));
        QCOMPARE(count("[src^=\"http\"], [style*=\"url\"]"), QVariant(0));
        QVERIFY(!server.hasPendingConnections());
        QVERIFY(!server.waitForNewConnection(0));
        // The page still works afterwards.
        show("fine");
        QCOMPARE(page->run("document.getElementById('content').textContent.trim()"), QVariant("fine"));
    }
};

ZQ_TEST_MAIN(TestEditorPage)
#include "test_editor_page.moc"
