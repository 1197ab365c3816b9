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
    Reply reply;
    const QVariantList list = result.toList();
    if (result.type() != QVariant::List || list.size() != 2 || list[0].type() != QVariant::Bool ||
        list[1].type() != QVariant::Map)
        return reply;
    const QVariantMap size = list[1].toMap();
    if (!size.contains(QStringLiteral("width")) || !size.contains(QStringLiteral("height")))
        return reply;
    reply.valid = true;
    reply.latexFailed = list[0].toBool();
    reply.width = size.value(QStringLiteral("width")).toDouble();
    reply.height = size.value(QStringLiteral("height")).toDouble();
    return reply;
}

QString tabularText()
{
    return QStringLiteral(
        "Results:\n\n\\begin{tabular}{|l|c|}\n\\hline\nName & Value, \"quoted\" \\\\\n\\hline\n"
        "\\multicolumn{2}{|c|}{Total} \\\\\n$x^2$ & 50\\% \\\\\n\\hline\n\\end{tabular}\n");
}

} // namespace

// The editor page in a real web engine, driven with the scripts the application sends.
class TestEditorPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<EditorPageHarness> page;

private slots:
    void initTestCase()
    {
        page = std::make_unique<EditorPageHarness>();
        QVERIFY(page->load());
        // This engine reports compiling the chemistry engine's WebAssembly as an eval, although the
        // policy allows it; count what the texts cause from then on.
        QTRY_VERIFY_WITH_TIMEOUT(page->chemistryReady(), EditorPageHarness::kTimeoutMs);
        page->run(
            QStringLiteral("window.violations = []; document.addEventListener('securitypolicyviolation', "
                           "e => window.violations.push(e.violatedDirective + ' ' + e.blockedURI));"));
    }

    void cleanupTestCase()
    {
        // The page catches its own failures; nothing may escape as an uncaught error.
        const QStringList uncaught = page->page->consoleErrors.filter(QStringLiteral("Uncaught"));
        QVERIFY2(uncaught.isEmpty(), qPrintable(uncaught.join('\n')));
        page.reset();
    }

    void fontSizeAcceptsOnlyUsableSizes()
    {
        QCOMPARE(page->run(QStringLiteral("window.setFontSize(20);")), QVariant(true));
        QCOMPARE(page->run(QStringLiteral("getComputedStyle(document.body).fontSize")), QVariant("20px"));
        QCOMPARE(page->run(QStringLiteral("window.setFontSize('large');")), QVariant(false));
        QCOMPARE(page->run(QStringLiteral("window.setFontSize(-3);")), QVariant(false));
        QCOMPARE(page->run(QStringLiteral("window.setFontSize(Symbol());")), QVariant(false));
        QCOMPARE(page->run(QStringLiteral("getComputedStyle(document.body).fontSize")), QVariant("20px"));
        QCOMPARE(page->run(QStringLiteral("window.setFontSize(16);")), QVariant(true));
    }

    void everyScriptFormAnswersWithTheReplyShape_data()
    {
        QTest::addColumn<QString>("script");
        const QString text = QStringLiteral("Some *text* with $x$");
        QTest::newRow("markdown") << EditorPageHarness::textScript(text);
        QTest::newRow("latex") << EditorPageHarness::latexScript(QStringLiteral("\\sum_{i=1}^n i"));
        QTest::newRow("two arguments")
            << QStringLiteral("window.setText(\"No solution available.\", \"center\")");
        QTest::newRow("empty text") << EditorPageHarness::textScript(QString());
        QTest::newRow("no arguments") << QStringLiteral("window.setText()");
        QTest::newRow("number and junk options") << QStringLiteral("window.setText(42, 7, 'x', null)");
        QTest::newRow("object text") << QStringLiteral("window.setText({toString() { throw 1; }}, 'left')");
        QTest::newRow("very long text")
            << QStringLiteral("window.setText('$5 \\\\( <smiles>'.repeat(30000), 'left')");
    }

    void everyScriptFormAnswersWithTheReplyShape()
    {
        QFETCH(QString, script);
        const Reply reply = parse(page->run(script));
        QVERIFY(reply.valid);
        QVERIFY(!reply.latexFailed);
        QVERIFY(reply.width >= 0 && reply.height >= 0);
        // The formats reply stays a JSON object whatever came before.
        QVERIFY(page->formats().value(QStringLiteral("formats")).isArray());
    }

    void escapedTextArrivesUnchanged_data()
    {
        QTest::addColumn<QString>("latex");
        QTest::newRow("backslashes and quotes") << QStringLiteral("\\text{\"it's\"} \\\\ a \\backslash b");
        QTest::newRow("line feeds") << QStringLiteral("a\n+\nb");
        QTest::newRow("carriage returns") << QStringLiteral("a\r\n+\r\nb");
        QTest::newRow("line separator") << QStringLiteral("a %1 b").arg(QChar(0x2028));
    }

    void escapedTextArrivesUnchanged()
    {
        QFETCH(QString, latex);
        const Reply reply = parse(page->setLatex(latex));
        QVERIFY(reply.valid);
        QVERIFY(!reply.latexFailed);
        // The page keeps what it was given; the LaTeX format hands it back.
        const QString script = EditorPageHarness::latexScript(latex).replace(
            QStringLiteral("include_latex: false"), QStringLiteral("include_latex: true"));
        QVERIFY(parse(page->run(script)).valid);
        // Markdown reads line ends as line feeds; everything else comes back as sent.
        QCOMPARE(page->formatValues(QStringLiteral("latex")),
                 QStringList{QString(latex).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))});
    }

    void sizeGrowsWithContent()
    {
        const Reply one = parse(page->setText(QStringLiteral("One line")));
        const Reply longer = parse(page->setText(QStringLiteral("One line that is a good deal longer")));
        const Reply five = parse(page->setText(QStringLiteral("One\n\nTwo\n\nThree\n\nFour\n\nFive")));
        const Reply tall = parse(page->setLatex(QStringLiteral("\\frac{\\frac{a}{b}}{\\frac{c}{d}}")));
        const Reply flat = parse(page->setLatex(QStringLiteral("a")));
        QVERIFY(one.valid && longer.valid && five.valid && tall.valid && flat.valid);
        QVERIFY(one.height > 10);
        QVERIFY(longer.width > one.width);
        QCOMPARE(longer.height, one.height);
        QVERIFY(five.height > 4 * one.height);
        QVERIFY(tall.height > flat.height);
    }

    void sizeFollowsTheFontSize()
    {
        const Reply normal = parse(page->setText(QStringLiteral("Text and $\\frac{a}{b}$")));
        page->run(QStringLiteral("window.setFontSize(32);"));
        const Reply large = parse(page->setText(QStringLiteral("Text and $\\frac{a}{b}$")));
        page->run(QStringLiteral("window.setFontSize(16);"));
        QVERIFY(large.width > 1.7 * normal.width);
        QVERIFY(large.height > 1.7 * normal.height);
    }

    void widthIsShrinkToFitUnlessForced()
    {
        const QString text = QStringLiteral("word ").repeated(200);
        const Reply free = parse(page->setText(QStringLiteral("short")));
        QVERIFY(free.width < 100);
        // The bridge's sequence for a text applied with width.
        page->run(
            QStringLiteral("document.getElementById('content').style.width=screen.width / 2 - 20 + 'px';"));
        const Reply forced = parse(page->setText(text));
        page->run(QStringLiteral("document.getElementById('content').style.removeProperty('width');"));
        const double expected = page->run(QStringLiteral("screen.width / 2 - 20")).toDouble();
        QCOMPARE(forced.width, expected);
        // Without the width the text wraps in the view again, which is narrower than the forced width.
        const Reply wrapped = parse(page->setText(text));
        QVERIFY(expected > page->view.width());
        QVERIFY(wrapped.width <= page->view.width());
        QVERIFY(wrapped.height > forced.height);
    }

    void wideFormulaOverflowsAndIsMeasured()
    {
        const Reply wide = parse(page->setLatex(QStringLiteral("x_1 + x_2 + x_3").repeated(30)));
        QVERIFY(wide.valid);
        QVERIFY(wide.width > page->view.width());
    }

    void alignmentPlacesTheContent()
    {
        const QString margins =
            QStringLiteral("(() => { const c = document.getElementById('content').getBoundingClientRect();"
                           " const b = document.body.getBoundingClientRect(); return [c.left - b.left, "
                           "b.right - c.right]; })()");
        page->run(QStringLiteral("window.setText(\"Short\", \"center\")"));
        QVariantList sides = page->run(margins).toList();
        QVERIFY(sides[0].toDouble() > 100);
        QVERIFY(qAbs(sides[0].toDouble() - sides[1].toDouble()) <= 1);
        page->run(QStringLiteral("window.setText(\"Short\", \"left\")"));
        sides = page->run(margins).toList();
        QCOMPARE(sides[0].toDouble(), 0.0);
    }

    void latexFailedOnlyWhenLatexBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("failed");
        QTest::newRow("valid display") << QStringLiteral("\\[\\frac{a}{b}\\]") << false;
        QTest::newRow("unbalanced braces") << QStringLiteral("\\[\\frac{a}{b\\]") << true;
        QTest::newRow("unknown macro inline") << QStringLiteral("Text $\\notamacro{x}$ text") << true;
        QTest::newRow("bad environment")
            << QStringLiteral("\\begin{align} a &= \\end{matrix} \\end{align}") << true;
        QTest::newRow("links are not maths") << QStringLiteral("$\\href{https://x.invalid}{x}$") << true;
        QTest::newRow("dollars as money") << QStringLiteral("It costs $5 and $6 today.") << false;
        QTest::newRow("plain text") << QStringLiteral("No maths here.") << false;
        QTest::newRow("broken tabular stays text") << QStringLiteral("\\begin{tabular}{cc} a & b") << false;
    }

    void latexFailedOnlyWhenLatexBreaks()
    {
        QFETCH(QString, text);
        QFETCH(bool, failed);
        const Reply reply = parse(page->setText(text));
        QVERIFY(reply.valid);
        QCOMPARE(reply.latexFailed, failed);
        QVERIFY(reply.height > 0);
    }

    void formulaYieldsItsFormats()
    {
        QVERIFY(parse(page->setLatex(QStringLiteral("\\frac{a+b}{2}"))).valid);
        const QStringList mathml = page->formatValues(QStringLiteral("mathml"));
        QCOMPARE(mathml.size(), 1);
        QVERIFY(mathml[0].startsWith(QStringLiteral("<math xmlns=\"http://www.w3.org/1998/Math/MathML\"")));
        QVERIFY(mathml[0].contains(QStringLiteral("<mfrac>")));
        const QStringList word = page->formatValues(QStringLiteral("mathmlword"));
        QCOMPARE(word.size(), 1);
        QVERIFY(word[0].startsWith(QStringLiteral("<mml:math xmlns:mml=")));
        QVERIFY(!word[0].contains(QStringLiteral("data-")));
        QCOMPARE(page->formatValues(QStringLiteral("asciimath")), QStringList{QStringLiteral("(a + b)/2")});
        const QStringList svg = page->formatValues(QStringLiteral("svg"));
        QCOMPARE(svg.size(), 1);
        QVERIFY(svg[0].startsWith(QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\"")));
        QVERIFY(svg[0].contains(QStringLiteral("<defs>"))); // stands alone when pasted
        QVERIFY(page->formatValues(QStringLiteral("html")).isEmpty());
        QVERIFY(page->formatValues(QStringLiteral("latex")).isEmpty());
    }

    void formatsFollowTheOptions()
    {
        QVERIFY(parse(page->setLatex(QStringLiteral("x^2"), false)).valid);
        QVERIFY(page->formatValues(QStringLiteral("mathml")).isEmpty());
        QVERIFY(page->formatValues(QStringLiteral("mathmlword")).isEmpty());
        QVERIFY(page->formatValues(QStringLiteral("asciimath")).isEmpty());
        QCOMPARE(page->formatValues(QStringLiteral("svg")).size(), 1);
        // Without options only the chemistry family could come back.
        page->run(QStringLiteral("window.setText(\"$x$ and $y$\", \"center\")"));
        QCOMPARE(page->formats().value(QStringLiteral("formats")).toArray().size(), 0);
    }

    void tabularYieldsTableFormats()
    {
        QVERIFY(parse(page->setText(tabularText())).valid);
        QCOMPARE(page->formatValues(QStringLiteral("csv")),
                 QStringList{QStringLiteral("Name,\"Value, \"\"quoted\"\"\"\r\nTotal,\r\n$x^2$,50%")});
        QCOMPARE(page->formatValues(QStringLiteral("tsv")),
                 QStringList{QStringLiteral("Name\tValue, \"quoted\"\nTotal\t\n$x^2$\t50%")});
        QCOMPARE(page->formatValues(QStringLiteral("table-markdown")),
                 QStringList{QStringLiteral(
                     "| Name | Value, \"quoted\" |\n|:---|:---:|\n| Total | |\n| $x^2$ | 50% |")});
        const QStringList html = page->formatValues(QStringLiteral("html"));
        QCOMPARE(html.size(), 1);
        QVERIFY(html[0].contains(QStringLiteral("<td colspan=\"2\"")));
        // The rendering shows the table with its formula typeset.
        QCOMPARE(page->run(QStringLiteral("document.querySelectorAll('#content td').length")), QVariant(5));
        QCOMPARE(page->run(QStringLiteral("document.querySelectorAll('#content td svg').length")),
                 QVariant(1));
    }

    void markdownTableYieldsTableFormatsButNoMarkdown()
    {
        QVERIFY(parse(page->setText(QStringLiteral("| A | B |\n|---|--:|\n| 1,5 | two |\n"))).valid);
        QCOMPARE(page->formatValues(QStringLiteral("csv")),
                 QStringList{QStringLiteral("A,B\r\n\"1,5\",two")});
        QCOMPARE(page->formatValues(QStringLiteral("tsv")), QStringList{QStringLiteral("A\tB\n1,5\ttwo")});
        QCOMPARE(page->formatValues(QStringLiteral("html")).size(), 1);
        QVERIFY(page->formatValues(QStringLiteral("table-markdown")).isEmpty());
    }

    void smilesYieldsChemistryFormats_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("fence") << QStringLiteral("Ethanol:\n\n```smiles\nCCO\n```\n");
        QTest::newRow("tag") << QStringLiteral("Ethanol: <smiles>CCO</smiles>");
        QTest::newRow("upper-case tag") << QStringLiteral("Ethanol: <SMILES>CCO</SMILES>");
    }

    void smilesYieldsChemistryFormats()
    {
        QFETCH(QString, text);
        QTRY_VERIFY_WITH_TIMEOUT(page->chemistryReady(), EditorPageHarness::kTimeoutMs);
        // Without options too: the chemistry family is always reported.
        QVERIFY(parse(page->run(QStringLiteral("window.setText(\"%1\", \"left\")")
                                    .arg(EditorPageHarness::literal(text))))
                    .valid);
        QCOMPARE(page->formatValues(QStringLiteral("smiles")), QStringList{QStringLiteral("CCO")});
        const QStringList mol = page->formatValues(QStringLiteral("mol"));
        QCOMPARE(mol.size(), 1);
        QVERIFY(mol[0].contains(QStringLiteral("V2000")) && mol[0].contains(QStringLiteral("M  END")));
        QCOMPARE(page->formatValues(QStringLiteral("inchi")),
                 QStringList{QStringLiteral("InChI=1S/C2H6O/c1-2-3/h3H,2H2,1H3")});
        QCOMPARE(page->formatValues(QStringLiteral("inchi_key")),
                 QStringList{QStringLiteral("LFQSCWFLJHTTHZ-UHFFFAOYSA-N")});
        QCOMPARE(page->run(QStringLiteral("document.querySelectorAll('#content .zq-molecule svg').length")),
                 QVariant(1));
    }

    void invalidSmilesShowsAsTextWithOnlyItsString()
    {
        QTRY_VERIFY_WITH_TIMEOUT(page->chemistryReady(), EditorPageHarness::kTimeoutMs);
        QVERIFY(parse(page->setText(QStringLiteral("<smiles>C1CC(</smiles>"))).valid);
        QCOMPARE(page->formatValues(QStringLiteral("smiles")), QStringList{QStringLiteral("C1CC(")});
        QVERIFY(page->formatValues(QStringLiteral("mol")).isEmpty());
        QCOMPARE(page->run(QStringLiteral("document.querySelector('#content .zq-molecule').textContent")),
                 QVariant("C1CC("));
    }

    void coloursComeOnlyFromInjectedStyles()
    {
        QTRY_VERIFY_WITH_TIMEOUT(page->chemistryReady(), EditorPageHarness::kTimeoutMs);
        page->run(
            QStringLiteral("var style = document.createElement('style');var text = document.createTextNode("
                           "'body { background-color: #102030; color: #e0d0c0; }');style.appendChild(text);"
                           "document.head.appendChild(style);"));
        QVERIFY(
            parse(page->setText(QStringLiteral("Text, `code`, [a link](https://x.invalid), $\\sqrt{x}$\n\n"
                                               "| a |\n|---|\n| b |\n\n<smiles>c1ccccc1</smiles>")))
                .valid);
        // Every element draws in the text colour, and nothing paints a background of its own.
        const QVariant offenders = page->run(QStringLiteral(
            "Array.from(document.querySelectorAll('#content, #content *')).filter(e => {"
            " if (e.closest('defs') || ['svg', 'g', 'defs', 'use'].includes(e.tagName)) return false;"
            " const s = getComputedStyle(e);"
            " const bg = s.backgroundColor !== 'rgba(0, 0, 0, 0)';"
            " const fg = s.color !== 'rgb(224, 208, 192)';"
            " const fill = e instanceof SVGElement && !['none', 'rgb(224, 208, 192)'].includes(s.fill);"
            " const stroke = e instanceof SVGElement && !['none', 'rgb(224, 208, 192)'].includes(s.stroke);"
            " return bg || fg || fill || stroke; }).map(e => e.tagName).join(',')"));
        QCOMPARE(offenders, QVariant(QString()));
        page->run(
            QStringLiteral("var style = document.createElement('style');var text = document.createTextNode("
                           "'body { background-color: #ffffff; color: #000000; }');style.appendChild(text);"
                           "document.head.appendChild(style);"));
    }

    void copyButtonCopiesTheSourceText()
    {
        const QString text = QStringLiteral("Copy $x^2$ please");
        QVERIFY(parse(page->setText(text, true, false)).valid);
        QCOMPARE(page->run(QStringLiteral("document.querySelector('.zq-copy-button').hidden")),
                 QVariant(true));
        QVERIFY(parse(page->setText(text, true, true)).valid);
        QCOMPARE(page->run(QStringLiteral("document.querySelector('.zq-copy-button').hidden")),
                 QVariant(false));
        QGuiApplication::clipboard()->clear();
        page->run(QStringLiteral("document.querySelector('.zq-copy-button').click()"));
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), text);
    }

    void markupCannotPoseAsAFormulaSlot()
    {
        QVERIFY(
            parse(page->setText(QStringLiteral("<span data-zq-slot=\"0\" class=\"zq-slot\">x</span> $y$")))
                .valid);
        // The formula stays where it was written and the markup keeps its own text.
        QCOMPARE(page->run(QStringLiteral("document.querySelectorAll('#content mjx-container').length")),
                 QVariant(1));
        QCOMPARE(page->run(QStringLiteral("document.querySelector('#content p').firstChild.textContent")),
                 QVariant("x"));
        QCOMPARE(page->run(QStringLiteral("document.querySelector('#content p').lastElementChild.tagName")),
                 QVariant("MJX-CONTAINER"));
    }

    // Recognised text is untrusted: none of these may run script, load anything or navigate.
    void hostileTextDoesNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("script tag") << QStringLiteral("<script>window.pwned = 1</script>");
        QTest::newRow("event attribute") << QStringLiteral("<img src=x onerror=\"window.pwned = 1\">");
        QTest::newRow("svg onload") << QStringLiteral("<svg onload=\"window.pwned = 1\"></svg>");
        QTest::newRow("javascript link") << QStringLiteral("[click](javascript:window.pwned=1)");
        QTest::newRow("html javascript link")
            << QStringLiteral("<a href=\"javascript:window.pwned=1\">x</a>");
        QTest::newRow("remote image") << QStringLiteral("![r](http://%1/markdown.png)");
        QTest::newRow("remote html image") << QStringLiteral("<img src=\"http://%1/img.png\" alt=\"pic\">");
        QTest::newRow("remote link") << QStringLiteral("[go](http://%1/page)");
        QTest::newRow("style url") << QStringLiteral(
            "<div style=\"background:url(http://%1/bg.png)\">x</div>");
        QTest::newRow("style element")
            << QStringLiteral("<style>body{background:url(http://%1/style.png)}</style>");
        QTest::newRow("iframe") << QStringLiteral("<iframe src=\"http://%1/frame\"></iframe>");
        QTest::newRow("meta refresh")
            << QStringLiteral("<meta http-equiv=\"refresh\" content=\"0;url=http://%1/\">");
        QTest::newRow("form") << QStringLiteral("<form action=\"http://%1/f\"><button>go</button></form>");
        QTest::newRow("base") << QStringLiteral("<base href=\"http://%1/\">[rel](x.html)");
        QTest::newRow("clobbering id") << QStringLiteral("<p id=\"content\">a</p><img name=\"getFormats\">");
        QTest::newRow("fake slot") << QStringLiteral(
            "<span data-zq-slot=\"0\" class=\"zq-slot\">x</span> $y$");
        QTest::newRow("markup in maths") << QStringLiteral("$\\text{<img src=x onerror=window.pwned=1>}$");
        QTest::newRow("tex href") << QStringLiteral("$\\href{javascript:window.pwned=1}{x}$");
        QTest::newRow("tex style") << QStringLiteral("$\\style{background:url(http://%1/s)}{x}$");
        QTest::newRow("tex require") << QStringLiteral("$\\require{http://%1/ext.js} x$");
        QTest::newRow("smiles markup")
            << QStringLiteral("<smiles><img src=x onerror=window.pwned=1></smiles>");
        QTest::newRow("tabular cell") << QStringLiteral(
            "\\begin{tabular}{c} <img src=x onerror=window.pwned=1> \\\\ [a](javascript:window.pwned=1) "
            "\\end{tabular}");
    }

    void hostileTextDoesNothing()
    {
        QFETCH(QString, text);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString host = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
        const int navigations = page->page->navigations.size();
        QVERIFY(parse(page->setText(text.contains(QStringLiteral("%1")) ? text.arg(host) : text)).valid);
        // Follow every link the rendering has, as a user might.
        page->run(QStringLiteral("document.querySelectorAll('#content a').forEach(a => a.click())"));
        page->run(QStringLiteral("window.getFormats()"));
        QCOMPARE(page->run(QStringLiteral("typeof window.pwned")), QVariant("undefined"));
        // Nothing needed the policy to stop it, except a base element, which the sanitiser's own
        // parsing meets before it removes it.
        QCOMPARE(page->run(QStringLiteral("window.violations.filter(v => !v.startsWith('base-uri')).join()")),
                 QVariant(QString()));
        QCOMPARE(page->page->navigations.size(), navigations);
        QCOMPARE(page->run(QStringLiteral("location.href")),
                 QVariant("qrc:/html/zorvane_qelting_editor.html"));
        QCOMPARE(
            page->run(QStringLiteral(
                "document.querySelectorAll('#content script, #content iframe, #content style, #content form,"
                " #content meta, #content base, #content [onerror], #content [onload]').length")),
            QVariant(0));
        QCOMPARE(page->run(
                     QStringLiteral("document.querySelectorAll('[src^=\"http\"], [style*=\"url\"]').length")),
                 QVariant(0));
        QVERIFY(!server.hasPendingConnections());
        QVERIFY(!server.waitForNewConnection(0));
        // The page still works afterwards.
        QVERIFY(parse(page->setText(QStringLiteral("fine"))).valid);
        QCOMPARE(page->run(QStringLiteral("document.getElementById('content').textContent.trim()")),
                 QVariant("fine"));
    }
};

ZQ_TEST_MAIN(TestEditorPage)
#include "test_editor_page.moc"
