// The view page with the real editor page: what a Qelt shows, on which tabs, with which rows and formats,
// and how the page follows the controllers.

#include "ViewPageHarness.h"
#include "core/settings.h"
#include "support/TestMain.h"

#include <QProgressBar>
#include <QStackedWidget>

#include <cmath>

using namespace zq::test;

namespace {

const QString kFormula = QStringLiteral("\\frac{a+b}{2}");
const QString kTable =
    QStringLiteral("Results:\n\n\\begin{tabular}{|l|c|}\n\\hline\nName & Value \\\\\n\\hline\n"
                   "$x^2$ & 50 \\\\\n\\hline\n\\end{tabular}\n");
const QStringList kFormulaDataTitles{"DOCX(MS WORD)", "MathML (MS Word)", "MathML", "AsciiMath", "SVG"};

utils::ResultFormat blocks(bool block, bool numbered, bool custom, int style = 0)
{
    utils::ResultFormat rf;
    rf.blockEnabled = block;
    rf.numberedEnabled = numbered;
    rf.customEnabled = custom;
    rf.customOpenDelimiter = "<<";
    rf.customCloseDelimiter = ">>";
    rf.blockStyle = style;
    rf.numberedStyle = style;
    return rf;
}

} // namespace

class TestViewPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<ViewPageHarness> h;
    int serial = 0;

    QString id(const char* name) { return QStringLiteral("%1-%2").arg(name).arg(++serial); }

private slots:
    void initTestCase()
    {
        clearSettings();
        h = std::make_unique<ViewPageHarness>();
    }

    void cleanupTestCase() { h.reset(); }

    void init()
    {
        h->page->SetResultFormat(utils::ResultFormat());
        kKeyLastTabName.set(QStringLiteral("OCR"));
    }

    void nullSwitcherThrows()
    {
        try {
            QeltViewFrame page(nullptr);
            QFAIL("no exception");
        } catch (const std::runtime_error& error) {
            QCOMPARE(QString(error.what()), QString("QeltViewFrame: switcher is null"));
        }
    }

    void buttonsRaiseTheirSignals_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("signal");
        QTest::newRow("capture") << "but_take_qelt" << QByteArray(SIGNAL(MakeScreenshot()));
        QTest::newRow("try again") << "but_recog_again" << QByteArray(SIGNAL(MakeScreenshot()));
        QTest::newRow("gallery") << "but_show_list" << QByteArray(SIGNAL(ButBackClicked()));
        QTest::newRow("create") << "but_create_qelt" << QByteArray(SIGNAL(CreateQelt()));
        QTest::newRow("pdf") << "but_show_pdf_converter" << QByteArray(SIGNAL(ConvertPDF()));
        QTest::newRow("handwrite") << "but_handwrite_qelt" << QByteArray(SIGNAL(HandwriteQelt()));
        QTest::newRow("upload") << "but_upload_qelt" << QByteArray(SIGNAL(UploadQelt()));
        QTest::newRow("image options") << "but_image_option" << QByteArray(SIGNAL(PopupSettings(int)));
        QTest::newRow("settings") << "but_settings" << QByteArray(SIGNAL(ShowContextMenu(QPoint)));
    }

    void buttonsRaiseTheirSignals()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, signal);
        QSignalSpy spy(h->page, signal.constData());
        h->page->findChild<QPushButton*>(button)->click();
        QCOMPARE(spy.count(), 1);
        if (button == "but_image_option")
            QCOMPARE(spy.at(0).at(0).toInt(), 2);
    }

    // The editor page's own formats reach the Data tab; the rows copy what they show.
    void formulaFillsTabsRowsAndFormats()
    {
        const auto qelt = h->add(id("formula"), kFormula, "$" + kFormula + "$");
        QVERIFY(h->showSettled(qelt));
        QCOMPARE(h->tabTitles(), (QStringList{"OCR", "Data", "Original", "Solver"}));
        QCOMPARE(h->rowTexts("latexresult_widget"),
                 (QStringList{kFormula, "$" + kFormula + "$", "$$\r\n" + kFormula + "\r\n$$",
                              "\\begin{equation}\r\n" + kFormula + "\r\n\\end{equation}"}));
        QCOMPARE(h->dataTitles(), kFormulaDataTitles);
        QCOMPARE(h->dataRows().first()->text(), QString("Open DOCX"));
        QVERIFY(h->dataRows().at(1)->text().startsWith("<mml:math"));
        QCOMPARE(h->dataRows().at(3)->text(), QString("(a + b)/2"));
        QCOMPARE(h->rowTexts("urlresult_widget"),
                 (QStringList{qelt->originalImageUrl, "![](" + qelt->originalImageUrl + ")",
                              "<img src=\"" + qelt->originalImageUrl + "\">"}));
        QVERIFY(h->widget<QPushButton>("but_copy_tsv")->isHidden());
        QVERIFY(!h->widget<QPushButton>("but_copy_mathml_word")->isHidden());
        // The remembered row (the LaTeX) is selected again and copied for every Qelt shown.
        QCOMPARE(QGuiApplication::clipboard()->text(), kFormula);
    }

    void qeltOnItsWayWaitsForTheResultPage_data()
    {
        QTest::addColumn<bool>("prepared"); // a capture or an upload began
        QTest::addColumn<bool>("arrived");  // and its Qelt came
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<bool>("atOnce");
        QTest::addColumn<bool>("onItsWayWhenRun");
        const int wait = QeltViewFrame::ResultViewWaitMs();
        // A bound past the test's own patience: only the arrival can end the wait in time.
        const int longer = 10 * kPageTimeoutMs;
        QTest::newRow("nothing on its way: at once") << false << false << wait << true << false;
        QTest::newRow("loading: once it has loaded") << true << false << longer << false << false;
        QTest::newRow("a Qelt: once it is rendered, sized and has its rows")
            << true << true << longer << false << false;
        QTest::newRow("loading past the wait: no longer") << true << false << 0 << false << true;
    }

    // What waits for the Qelt on its way (the hidden window, to come up once at its size) waits until the
    // page shows it, and no longer than that or the wait.
    void qeltOnItsWayWaitsForTheResultPage()
    {
        QFETCH(bool, prepared);
        QFETCH(bool, arrived);
        QFETCH(int, waitMs);
        QFETCH(bool, atOnce);
        QFETCH(bool, onItsWayWhenRun);
        const int wait = QeltViewFrame::ResultViewWaitMs();
        QeltViewFrame::SetResultViewWaitForTesting(waitMs);
        QeltViewFrame page(&h->switcher); // hidden, as the main window's is at the start
        QSignalSpy loads(page.findChild<QWebEngineView*>("web"), &QWebEngineView::loadFinished);
        QSignalSpy sizes(&page, &QeltViewFrame::UpdateSize);
        if (prepared)
            page.PrepareForQelt();
        if (arrived)
            page.ShowQelt(h->add(id("arriving"), kFormula, "$" + kFormula + "$"));
        QList<bool> onItsWayAtRun;
        int sizesAtRun = 0;
        int rowsAtRun = 0;
        QObject context;
        page.WhenResultViewReady(&context, [&] {
            onItsWayAtRun << (page.IsResultViewLoading() || page.IsResultOnItsWay());
            sizesAtRun = sizes.count();
            rowsAtRun = page.findChild<QWidget*>("scrollAreaWidgetContents")
                            ->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly)
                            .size();
        });
        QCOMPARE(onItsWayAtRun.size(), int(atOnce));
        QVERIFY(waitUntil([&] { return !onItsWayAtRun.isEmpty(); }));
        QCOMPARE(onItsWayAtRun.first(), onItsWayWhenRun);
        if (prepared && !onItsWayWhenRun)
            QCOMPARE(loads.first().first(), QVariant(true));
        if (arrived) // the window it waited for takes the result's size, and the Data rows are there
            QVERIFY(sizesAtRun > 0 && rowsAtRun > 1);
        QVERIFY(waitUntil([&] { return !page.IsResultOnItsWay() && !page.IsResultViewLoading(); }));
        QCOMPARE(onItsWayAtRun.size(), 1); // what arrives after the wait runs nothing more
        QeltViewFrame::SetResultViewWaitForTesting(wait);
    }

    void tabsFollowTheQelt_data()
    {
        QTest::addColumn<QString>("latex");
        QTest::addColumn<bool>("original");
        QTest::addColumn<QString>("lastTab");
        QTest::addColumn<QStringList>("tabs");
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("strip");
        const QStringList all{"OCR", "Data", "Original", "Solver"};
        QTest::newRow("content and image") << kFormula << true << "OCR" << all << "OCR" << 0;
        QTest::newRow("no image") << kFormula << false << "OCR" << QStringList{"OCR", "Data", "Solver"}
                                  << "OCR" << 0;
        QTest::newRow("image only") << QString() << true << "OCR" << QStringList{"Original"} << "Original"
                                    << 1;
        QTest::newRow("last tab kept") << kFormula << true << "Original" << all << "Original" << 0;
        QTest::newRow("unknown last tab") << kFormula << true << "Nope" << all << "" << 0;
    }

    void tabsFollowTheQelt()
    {
        QFETCH(QString, latex);
        QFETCH(bool, original);
        QFETCH(QString, lastTab);
        QFETCH(QStringList, tabs);
        QFETCH(QString, current);
        QFETCH(int, strip);
        const QString before = h->currentTab();
        kKeyLastTabName.set(lastTab);
        const auto qelt = h->add(id("tabs"), latex, latex, original);
        QTRY_VERIFY_WITH_TIMEOUT(h->idle(), kPageTimeoutMs);
        h->page->ShowQelt(qelt);
        QCOMPARE(h->page->currentQeltId(), qelt->id);
        QCOMPARE(h->tabTitles(), tabs); // the chat tab never
        QCOMPARE(h->currentTab(), current.isEmpty() ? before : current);
        QCOMPARE(h->widget<QStackedWidget>("conf_stack")->currentIndex(), strip);
        if (!original && current == "OCR") // nothing to show or toggle above the result
            QVERIFY(h->widget<QLabel>("lb_originOCR")->isHidden() &&
                    h->widget<QPushButton>("showOriginal")->isHidden());
    }

    // In a window at its least height the result view still holds the whole content, without scrolling
    // inside it; what the window gives beyond that goes to the result, not to the blank around it.
    void ocrResultIsShownWhole_data()
    {
        QTest::addColumn<QString>("latex");
        QTest::addColumn<QString>("text");
        QTest::newRow("two-line fraction") << "\\frac{a+b}{c+d}" << QString();
        QTest::newRow("integral with limits")
            << "\\int\\limits_{0}^{1} x^{2}\\,dx = \\frac{1}{3}" << QString();
        QTest::newRow("two-row table") << QString() << kTable;
    }

    void ocrResultIsShownWhole()
    {
        QFETCH(QString, latex);
        QFETCH(QString, text);
        const QSize size = h->window.size();
        h->window.resize(size.width(), 1); // held at what the page needs
        QVERIFY(h->showSettled(h->add(id("whole"), latex, text)));
        auto* web = h->widget<QWebEngineView>("web");
        // The page's content, its document and its view, as the page measures them.
        const auto measured = [web] {
            auto result = std::make_shared<QVariantList>();
            web->page()->runJavaScript("[document.getElementById('content').getBoundingClientRect().height,"
                                       " document.documentElement.scrollHeight, window.innerHeight]",
                                       [result](const QVariant& value) { *result = value.toList(); });
            waitUntil([result] { return !result->isEmpty(); });
            return *result;
        };
        QVariantList page;
        QVERIFY(waitUntil([&] {
            page = measured();
            return page.size() == 3 && page.at(2).toInt() == web->height();
        }));
        QVERIFY2(page.at(1).toInt() <= page.at(2).toInt() && web->height() >= page.at(0).toDouble() + 10,
                 qPrintable(QStringLiteral("content %1, document %2, view %3")
                                .arg(page.at(0).toDouble())
                                .arg(page.at(1).toInt())
                                .arg(web->height())));
        const int before = web->height();
        h->window.resize(size.width(), h->window.height() + 200);
        QTRY_COMPARE(web->height(), before + 200);
        h->window.resize(size);
    }

    // A Qelt equal to the shown one, or differing only in its status, is not rendered again.
    void sameQeltRendersOnce()
    {
        const auto qelt = h->add(id("same"), "x^2", "$x^2$");
        QVERIFY(h->showSettled(qelt));
        const int reports = h->sizeReports;
        h->page->ShowQelt(qelt);
        auto changed = std::make_shared<ZorvaneQelt>(*qelt);
        changed->status = "processing";
        h->page->ShowQelt(changed);
        QVERIFY(h->showSettled(h->add(id("probe"), "y^2", "$y^2$")));
        QCOMPARE(h->sizeReports, reports + 1); // the probe's only
    }

    // While the view renders one Qelt, of two more only the last is shown after it.
    void threeQeltsWhileBusyShowTheFirstAndTheLast()
    {
        QVERIFY(waitUntil([this] { return h->drained(); }));
        const auto first = h->add(id("busy"), "a_1", "$a_1$");
        const auto second = h->add(id("busy"), "a_2", "$a_2$");
        const auto third = h->add(id("busy"), "a_3", "$a_3$");
        const int reports = h->sizeReports;
        h->page->ShowQelt(first);
        const QByteArray waiting = "[QeltViewFrame] Wait prev qelt: " + first->id.toUtf8();
        QTest::ignoreMessage(QtInfoMsg, waiting.constData());
        QTest::ignoreMessage(QtInfoMsg, waiting.constData());
        h->page->ShowQelt(second);
        h->page->ShowQelt(third);
        QCOMPARE(h->page->currentQeltId(), first->id);
        QTRY_COMPARE_WITH_TIMEOUT(h->page->currentQeltId(), third->id, kPageTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(h->rowTexts("latexresult_widget").value(0), QString("a_3"), kPageTimeoutMs);
        QVERIFY(waitUntil([this] { return h->drained(); }));
        QCOMPARE(h->sizeReports, reports + 2);
    }

    // A text without LaTeX goes to the view twice, at its own width and then at the forced one. The first
    // result arrives while the second renders: it says nothing of the size the page will have.
    void resultOvertakenByANewerTextSizesNothing()
    {
        QVERIFY(waitUntil([this] { return h->drained(); }));
        const int reports = h->sizeReports;
        QVERIFY(h->showSettled(h->add(id("text"), QString(), "$x_1$")));
        QVERIFY(waitUntil([this] { return h->drained(); }));
        QCOMPARE(h->sizeReports, reports + 1);
    }

    void indexLabelNavigationAndNewQeltsDot()
    {
        h->library.clear();
        QList<ZorvaneQeltPtr> qelts;
        for (int i = 0; i < 3; ++i)
            qelts << h->add(id("nav"), QStringLiteral("n_%1").arg(i), QString());
        QLabel* dot = h->widget<QPushButton>("but_last")->findChild<QLabel*>();
        const auto state = [this] {
            QString buttons;
            for (const char* name : {"but_first", "but_prev", "but_next", "but_last"})
                buttons += h->widget<QPushButton>(name)->isEnabled() ? "1" : "0";
            return h->widget<QLabel>("lb_index")->text() + " " + buttons;
        };
        QTRY_VERIFY_WITH_TIMEOUT(h->idle(), kPageTimeoutMs);
        h->page->ShowQelt(qelts.at(2));
        QCOMPARE(state(), QString("3 / 3 1100"));
        h->page->OnQeltsCountChanged();
        h->page->NextQelt(); // at the end: nothing
        h->page->LastQelt();
        QCOMPARE(h->page->currentQeltId(), qelts.at(2)->id);
        QTRY_VERIFY_WITH_TIMEOUT(h->idle(), kPageTimeoutMs);
        h->page->PrevQelt();
        QCOMPARE(state(), QString("2 / 3 1111"));
        QVERIFY(dot->isHidden());
        qelts << h->add(id("nav"), "n_3", QString());
        h->page->OnQeltsCountChanged();
        QVERIFY(!dot->isHidden());
        QCOMPARE(state(), QString("2 / 4 1111"));
        QTRY_VERIFY_WITH_TIMEOUT(h->idle(), kPageTimeoutMs);
        h->page->LastQelt();
        QCOMPARE(state(), QString("4 / 4 1100"));
        QVERIFY(dot->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(h->idle(), kPageTimeoutMs);
        h->page->FirstQelt();
        QCOMPARE(state(), QString("1 / 4 0011"));
        h->page->PrevQelt(); // at the start: nothing
        h->page->FirstQelt();
        QCOMPARE(h->page->currentQeltId(), qelts.at(0)->id);

        QSignalSpy back(h->page, &QeltViewFrame::ButBackClicked);
        h->library.clear();
        h->page->OnQeltsCountChanged();
        QCOMPARE(back.count(), 1);
    }

    void confidenceIsTruncated_data()
    {
        QTest::addColumn<double>("confidence");
        QTest::addColumn<int>("value");
        QTest::newRow("0.95") << 0.95 << 95;
        QTest::newRow("0.57") << 0.57 << 56;
        QTest::newRow("above one") << 1.7 << 100;
        QTest::newRow("negative") << -0.2 << 0;
        QTest::newRow("not a number") << std::nan("") << 0;
    }

    void confidenceIsTruncated()
    {
        QFETCH(double, confidence);
        QFETCH(int, value);
        h->page->UpdateConfidence(confidence);
        QCOMPARE(h->widget<QProgressBar>("confidence_progress")->value(), value);
    }

    void ocrRowsFollowContentAndSettings_data()
    {
        QTest::addColumn<QString>("latex");
        QTest::addColumn<QString>("text");
        QTest::addColumn<utils::ResultFormat>("format");
        QTest::addColumn<QStringList>("rows");
        const QString l = "x_1";
        const QString t = "$x_1$";
        QTest::newRow("defaults") << l << t << blocks(true, true, false)
                                  << QStringList{l, t, "$$\r\nx_1\r\n$$",
                                                 "\\begin{equation}\r\nx_1\r\n\\end{equation}"};
        QTest::newRow("every block, second styles")
            << l << t << blocks(true, true, true, 1)
            << QStringList{l, t, "\\[\r\nx_1\r\n\\]", "\\begin{align}\r\nx_1\r\n\\end{align}",
                           "<<\r\nx_1\r\n>>"};
        QTest::newRow("no blocks") << l << t << blocks(false, false, false) << QStringList{l, t};
        QTest::newRow("empty latex") << QString() << t << blocks(true, true, true) << QStringList{t};
        QTest::newRow("empty text") << l << QString() << blocks(false, false, true)
                                    << QStringList{l, "<<\r\nx_1\r\n>>"};
        QTest::newRow("a table") << "x" << kTable << blocks(true, false, true, 1)
                                 << QStringList{"x", kTable, "\\[\r\nx\r\n\\]", "<<\r\nx\r\n>>",
                                                "| Name | Value |\n|:---|:---:|\n| $x^2$ | 50 |"};
    }

    // Shown first under the default settings, then with these: the rows follow the change.
    void ocrRowsFollowContentAndSettings()
    {
        QFETCH(QString, latex);
        QFETCH(QString, text);
        QFETCH(utils::ResultFormat, format);
        QFETCH(QStringList, rows);
        QVERIFY(h->showSettled(h->add(id("rows"), latex, text)));
        h->page->SetResultFormat(format);
        QTRY_COMPARE_WITH_TIMEOUT(h->rowTexts("latexresult_widget"), rows, kPageTimeoutMs);
    }

    // SMILES and tables wait for the editor page's formats, which group their rows under headers.
    void chemistryAndTablesGroupRows_data()
    {
        QTest::addColumn<QString>("latex");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("data");
        QTest::addColumn<int>("buttons");
        QTest::newRow("smiles") << QString() << "Ethanol: <smiles>CCO</smiles>"
                                << QStringList{"ZMD", "Smiles", "MOL", "InChI ", "InChI key"}
                                << QStringList{"Ethanol: <smiles>CCO</smiles>", "CCO", "*",
                                               "InChI=1S/C2H6O/c1-2-3/h3H,2H2,1H3",
                                               "LFQSCWFLJHTTHZ-UHFFFAOYSA-N"}
                                << QStringList{"DOCX(MS WORD)"} << 3 + 2 + 3 * 1;
        QTest::newRow("table") << "x" << kTable << QStringList{"Markdown tables"}
                               << QStringList{"x", kTable, "*", "*",
                                              "| Name | Value |\n|:---|:---:|\n| $x^2$ | 50 |"}
                               << QStringList{"DOCX(MS WORD)", "CSV",       "MathML (MS Word)",
                                              "MathML",        "AsciiMath", "SVG",
                                              "HTML",          "TSV"}
                               << 4 * 3 + 2;
    }

    void chemistryAndTablesGroupRows()
    {
        QFETCH(QString, latex);
        QFETCH(QString, text);
        QFETCH(QStringList, headers);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, data);
        QFETCH(int, buttons);
        QVERIFY(h->showSettled(h->add(id("grouped"), latex, text)));
        QStringList titles;
        for (const QLabel* label : h->widget<QWidget>("latexresult_widget")
                                       ->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            titles << label->text();
        QCOMPARE(titles, headers);
        const QList<QLineEdit*> fields = h->ocrRows();
        QCOMPARE(fields.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            if (rows.at(i) != "*")
                QCOMPARE(fields.at(i)->text(), rows.at(i));
        }
        QCOMPARE(h->dataTitles(), data);
        // Text and LaTeX rows copy, edit and search; SMILES and table rows copy and search; MOL and InChI
        // rows only copy.
        QCOMPARE(h->widget<QWidget>("latexresult_widget")
                     ->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)
                     .size(),
                 buttons);
        const bool table = text == kTable;
        QCOMPARE(!h->widget<QPushButton>("but_copy_tsv")->isHidden(), table);
        QCOMPARE(!h->widget<QPushButton>("but_export_csv")->isHidden(), table);
    }

    // The Qelt that follows a deleted one starts afresh: nothing of the deleted one is offered or copied.
    void deletedQeltLeavesNothingToTheNext()
    {
        const auto next = h->add(id("next"), kFormula, QString());
        const auto table = h->add(id("deleted"), "x", kTable);
        QVERIFY(h->showSettled(table));
        QVERIFY(h->dataTitles().contains("CSV"));
        h->library.removeQelt(table->id);
        QCOMPARE(h->page->currentQeltId(), next->id);
        QVERIFY(!h->dataTitles().contains("CSV"));
        QVERIFY(h->widget<QPushButton>("but_copy_tsv")->isHidden());
        QCOMPARE(ViewPageHarness::boxOpenedBy([this] { h->page->ExportCsv(); }),
                 QString("Nothing to export"));
        QTRY_COMPARE_WITH_TIMEOUT(h->dataTitles(), kFormulaDataTitles, kPageTimeoutMs);
    }

    // The formats of a text the view rendered before it was given the shown Qelt's are not the shown Qelt's.
    void formatsOfAnEarlierTextAreIgnored()
    {
        const auto formula = h->add(id("formula"), kFormula, QString());
        QVERIFY(h->showSettled(formula));
        const auto table = h->add(id("table"), "x", kTable);
        h->page->ShowQelt(table);
        h->library.removeQelt(table->id); // the formula comes back while the table renders
        QCOMPARE(h->page->currentQeltId(), formula->id);
        QTRY_COMPARE_WITH_TIMEOUT(h->dataTitles(), kFormulaDataTitles, kPageTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(h->idle(), kPageTimeoutMs);
        QCOMPARE(h->dataTitles(), kFormulaDataTitles);
    }

    void editOfTheShownQeltShowsAtOnce()
    {
        const auto qelt = h->add(id("edited"), "z", "$z$");
        QVERIFY(h->showSettled(qelt));
        h->library.editQeltLatex(qelt->id, "z^3");
        QCOMPARE(h->rowTexts("latexresult_widget").value(0), QString("z^3"));
    }

    void originalToggles_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::newRow("shown, then hidden") << true;
        QTest::newRow("hidden, then shown") << false;
    }

    void originalToggles()
    {
        QFETCH(bool, shown);
        kKeyOriginalShow.set(shown);
        QVERIFY(h->showSettled(h->add(id("toggle"), "t", "$t$")));
        auto* button = h->widget<QPushButton>("showOriginal");
        auto* label = h->widget<QLabel>("lb_originOCR");
        QCOMPARE(label->isHidden(), !shown);
        QCOMPARE(button->text(), shown ? QString("Hide Original ") : QString("Show Original "));
        const int delta = label->height() + h->widget<QFrame>("line_13")->height();
        QSignalSpy resized(h->page, &QeltViewFrame::ChangeWindowSize);
        button->click();
        QCOMPARE(kKeyOriginalShow.get(), !shown);
        QCOMPARE(label->isHidden(), shown);
        QCOMPARE(button->text(), shown ? QString("Show Original ") : QString("Hide Original "));
        QCOMPARE(resized.count(), 1);
        QCOMPARE(resized.at(0), (QVariantList{0, shown ? -delta : delta}));
    }

    // Turning a format off takes it off the page; a short list leaves the formats it does not name alone.
    void formatChoicesRefillThePage()
    {
        QVERIFY(h->showSettled(h->add(id("choices"), kFormula, QString())));
        h->page->SetFormats({false});
        QTRY_COMPARE_WITH_TIMEOUT(
            h->dataTitles(), (QStringList{"DOCX(MS WORD)", "MathML", "AsciiMath", "SVG"}), kPageTimeoutMs);
        QVERIFY(h->widget<QPushButton>("but_copy_mathml_word")->isHidden());
        h->page->SetFormats({true, false, true, true, true, true, true});
        QTRY_COMPARE_WITH_TIMEOUT(h->dataTitles(),
                                  (QStringList{"DOCX(MS WORD)", "MathML (MS Word)", "AsciiMath", "SVG"}),
                                  kPageTimeoutMs);
        h->page->SetFormats({true, true});
        QTRY_COMPARE_WITH_TIMEOUT(h->dataTitles(), kFormulaDataTitles, kPageTimeoutMs);
    }
};

ZQ_TEST_MAIN(TestViewPage)
#include "test_view_page.moc"
