// The view page's copies as another X client reads them, the copy events, images, the CSV export, and the
// keyboard's walk through rows and tabs.

#include "ViewPageHarness.h"
#include "core/settings.h"
#include "core/ui/FileDialog.h"
#include "support/ClipboardReader.h"
#include "support/TestMain.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace zq::test;

namespace {

const QString kFormula = QStringLiteral("\\frac{a+b}{2}");
const QString kTable = QStringLiteral("\\begin{tabular}{|l|c|}\n\\hline\nName & Value \\\\\n\\hline\n"
                                      "ab & 50 \\\\\n\\hline\n\\end{tabular}\n");

// Where the desktop was asked to open something.
class Opener : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

struct Walk
{
    QString tab;            // the tab current before the keys
    utils::ROW_MEMORY from; // the selection before the keys
    QString keys;           // d Down, u Up, D Shift+Down, U Shift+Up
    QString endTab;
    utils::ROW_MEMORY to;
    QString copied; // what the clipboard holds then: a row's text, "mathmlword", "picture" (the original),
                    // or "-" for unchanged
};

} // namespace

Q_DECLARE_METATYPE(Walk)

namespace QTest {
template <> char* toString(const utils::ROW_MEMORY& rows)
{
    return qstrdup(QStringLiteral("{%1, %2, %3}")
                       .arg(rows.ocrRow)
                       .arg(rows.dataRow)
                       .arg(rows.originalRow)
                       .toUtf8()
                       .constData());
}
} // namespace QTest

class TestViewPageCopy : public QObject
{
    Q_OBJECT

    std::unique_ptr<ViewPageHarness> h;
    Opener opener;
    int serial = 0;

    QString id(const char* name) { return QStringLiteral("%1-%2").arg(name).arg(++serial); }
    // A formula Qelt with an image, new to the page.
    ZorvaneQeltPtr fresh() { return h->add(id("formula"), kFormula, "$" + kFormula + "$"); }

    void setClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }
    QString clipboard() const { return QGuiApplication::clipboard()->text(); }

private slots:
    void initTestCase()
    {
        clearSettings();
        h = std::make_unique<ViewPageHarness>();
        QDesktopServices::setUrlHandler("file", &opener, "open");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler("file");
        h.reset();
    }

    void init()
    {
        if (h->window.isHidden()) {
            h->window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&h->window, kWaitMs));
        }
        kKeyLastTabName.set(QStringLiteral("OCR"));
        h->events("copy_to_clipboard"); // sends what waits
        h->service.clearRequests();
    }

    // The whole text, however long the field's shortened one; one event per leaving of the window,
    // about the last copy, with the delimiter only for OCR rows.
    void copiesReachOtherClientsAndReportOnce_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("inlineStyle");
        QTest::addColumn<QJsonObject>("event");
        QTest::newRow("latex row") << 0 << 3 << 0 << QJsonObject{{"format", "latex"}, {"delimiter", ""}};
        QTest::newRow("text row, second inline style")
            << 0 << 4 << 1 << QJsonObject{{"format", "text"}, {"delimiter", "\\("}};
        QTest::newRow("display block")
            << 0 << 5 << 0 << QJsonObject{{"format", "latex_block"}, {"delimiter", "$$"}};
        QTest::newRow("data row") << 1 << 3 << 0 << QJsonObject{{"format", "asciimath"}};
        QTest::newRow("original row") << 2 << 2 << 0 << QJsonObject{{"format", "markdown_url"}};
    }

    void copiesReachOtherClientsAndReportOnce()
    {
        QFETCH(int, list);
        QFETCH(int, index);
        QFETCH(int, inlineStyle);
        QFETCH(QJsonObject, event);
        utils::ResultFormat rf;
        rf.inlineStyle = inlineStyle;
        h->page->SetResultFormat(rf);
        QVERIFY(h->showSettled(fresh()));
        setClipboard("before");
        h->page->SelectFormat(list, index, +1);
        h->page->SelectFormat(list, index, +1);
        const QList<QLineEdit*> fields = list == 0   ? h->ocrRows()
                                         : list == 1 ? h->dataRows()
                                                     : h->originalRows();
        const QLineEdit* field = fields.at(index - (list == 0 ? 3 : list == 1 ? 0 : 1));
        QVERIFY(ViewPageHarness::badgeShown(field));
        QCOMPARE(QString::fromUtf8(clipboardFromOtherClient("text/plain")), field->text());
        QApplication::setActiveWindow(&h->window);
        QApplication::setActiveWindow(nullptr);
        QApplication::setActiveWindow(&h->window);
        QApplication::setActiveWindow(nullptr);
        QCOMPARE(h->events("copy_to_clipboard"), QList<QJsonObject>{event});
    }

    // Only the user's own actions copy. A Qelt changed, deleted or formatted anew elsewhere gets its rows
    // again and its remembered row selected, but what another program put on the clipboard stays, even
    // with the window hidden; a capture result shown while it is hidden still copies, as does one that
    // waited for the result before it to render.
    void onlyTheUsersOwnActionsCopy_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("a sync update, hidden") << "update" << true;
        QTest::newRow("a sync update, shown") << "update" << false;
        QTest::newRow("a deletion elsewhere, hidden") << "deletion" << true;
        QTest::newRow("format choices, hidden") << "formats" << true;
        QTest::newRow("block delimiters, hidden") << "delimiters" << true;
        QTest::newRow("a capture result, hidden") << "capture" << true;
        QTest::newRow("two quick capture results, hidden") << "captures" << true;
    }

    void onlyTheUsersOwnActionsCopy()
    {
        QFETCH(QString, change);
        QFETCH(bool, hidden);
        const auto neighbour = fresh();
        const auto qelt = fresh();
        h->page->SetResultFormat(utils::ResultFormat());
        QVERIFY(h->showSettled(qelt, 4)); // the text row
        if (hidden)
            h->window.hide();
        const QString others = QStringLiteral("another program's");
        OtherClientClipboard other(others);
        QVERIFY(other.holds());
        QTRY_COMPARE(clipboard(), others);
        ZorvaneQeltPtr shown = qelt;
        if (change == "update") {
            auto synced = std::make_shared<ZorvaneQelt>(*qelt);
            synced->text = "$" + kFormula + "$ as edited on the web";
            h->library.addQelt(synced, true); // as the sync merges it
        } else if (change == "deletion") {
            h->library.removeQeltLocally(h->library.qeltById(qelt->id), false); // as the sync does
            shown = neighbour;
        } else if (change == "formats") {
            h->page->SetFormats({false});
        } else if (change == "delimiters") {
            utils::ResultFormat rf;
            rf.blockStyle = 1;
            h->page->SetResultFormat(rf);
        } else if (change == "capture") {
            shown = fresh();
            h->page->ShowQelt(shown);
        } else {
            h->page->ShowQelt(fresh()); // still rendering when the second arrives, which waits for it
            shown = h->add(id("second"), "\\sqrt{y}", "$\\sqrt{y}$");
            h->page->ShowQelt(shown);
        }
        // Settled once the rebuilt rows have their remembered row selected again.
        QVERIFY(waitUntil([&] {
            const QList<QLineEdit*> rows = h->ocrRows();
            return h->page->currentQeltId() == shown->id && h->drained() && rows.size() > 1 &&
                   h->window.focusWidget() == rows.at(1);
        }));
        if (change == "delimiters") // the rows the window shows when it comes back, and the keys copy
            QCOMPARE(h->ocrRows().at(2)->text(), "\\[\r\n" + kFormula + "\r\n\\]");
        if (change.startsWith("capture")) {
            QCOMPARE(clipboard(), h->ocrRows().at(1)->text());
        } else {
            QCOMPARE(clipboard(), others);
            QVERIFY(other.holds());
        }
        if (change == "formats")
            h->page->SetFormats({true, true});
        h->page->SetResultFormat(utils::ResultFormat());
    }

    // A Qelt that lacks the remembered entry copies what it offers in its place, and the entry stays
    // remembered for the Qelts after it; a choice the user makes on it is remembered instead.
    void fallbackLeavesTheRememberedEntry_data()
    {
        QTest::addColumn<QString>("between");
        QTest::addColumn<int>("remembered"); // 1 MS Word, 3 and on the OCR rows
        QTest::addColumn<bool>("walkOn");    // the user presses Down on it
        QTest::addColumn<int>("after");      // remembered then, and copied from the third Qelt
        QTest::newRow("a table, MS Word") << kTable << 1 << false << 1;
        QTest::newRow("SMILES, MS Word") << "Ethanol: <smiles>CCO</smiles>" << 1 << false << 1;
        QTest::newRow("fewer rows, the numbered block") << QString() << 6 << false << 6;
        QTest::newRow("a table, the user walks on") << kTable << 1 << true << 3;
    }

    void fallbackLeavesTheRememberedEntry()
    {
        QFETCH(QString, between);
        QFETCH(int, remembered);
        QFETCH(bool, walkOn);
        QFETCH(int, after);
        QVERIFY(h->showSettled(fresh(), remembered));
        // Without text only LaTeX rows: the numbered block is not there.
        const auto other = between.isEmpty() ? h->add(id("latex"), "y^2", QString(), false)
                                             : h->add(id("other"), QString(), between, false);
        QVERIFY(h->showSettled(other, -1));
        if (remembered == 1) // the rendered image in its place
            QTRY_VERIFY(clipboardFormatsFromOtherClient().contains("PNG"));
        else
            QCOMPARE(clipboard(), h->ocrRows().first()->text());
        if (walkOn) {
            h->page->OnNextRowKey();
            QCOMPARE(clipboard(), h->ocrRows().first()->text());
        }
        QCOMPARE(utils::rowMemory().ocrRow, after);

        const auto third = h->add(id("third"), "\\sqrt{z}", "$\\sqrt{z}$");
        QVERIFY(h->showSettled(third, -1));
        const QString copied = QString::fromUtf8(clipboardFromOtherClient("text/plain"));
        if (after == 1)
            QVERIFY2(copied.startsWith("<mml:math"), qPrintable(copied));
        else
            QCOMPARE(copied, h->ocrRows().at(after - 3)->text());
        QCOMPARE(utils::rowMemory().ocrRow, after);
    }

    void longTextIsCopiedWhole()
    {
        const QString latex = QString("x+").repeated(700) + "x";
        QVERIFY(h->showSettled(h->add(id("long"), latex, QString())));
        QLineEdit* field = h->ocrRows().first();
        QCOMPARE(field->text(), latex.left(1000) + " ...");
        setClipboard("before");
        QTest::mouseClick(field, Qt::LeftButton);
        QTRY_COMPARE(clipboard(), latex);
        QCOMPARE(QString::fromUtf8(clipboardFromOtherClient("text/plain")), latex);
    }

    // Offered as "PNG" and as "image/png", the same bytes, which decode to the image.
    void imageCopyRoundTripsAsPng()
    {
        QImage image(37, 23, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        image.setPixelColor(5, 7, Qt::red);
        h->page->CopyImageToClipboard(image);
        const QStringList formats = clipboardFormatsFromOtherClient();
        QVERIFY2(formats.contains("PNG") && formats.contains("image/png"), qPrintable(formats.join(',')));
        for (const QString& format : {QString("PNG"), QString("image/png")}) {
            const QImage back = QImage::fromData(clipboardFromOtherClient(format), "PNG");
            QCOMPARE(back.convertToFormat(QImage::Format_ARGB32), image);
        }
    }

    // The rendered result is copied, or saved under a new name and opened; a text copy made meanwhile
    // cancels the image quietly.
    void renderedImageIsCopiedOrSavedAndOpened()
    {
        QVERIFY(h->showSettled(fresh()));
        auto* loading = h->widget<QStackedWidget>("stackLoading");
        h->widget<QPushButton>("but_webcopyimage")->click();
        QCOMPARE(loading->currentIndex(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(loading->currentIndex(), 0, kPageTimeoutMs);
        QVERIFY(!h->widget<QLabel>("lb_copied_web_")->isHidden());
        QVERIFY(!QImage::fromData(clipboardFromOtherClient("image/png"), "PNG").isNull());
        QApplication::setActiveWindow(&h->window);
        QApplication::setActiveWindow(nullptr);
        const QList<QJsonObject> events{QJsonObject{{"format", "png_ocr"}}};
        QCOMPARE(h->events("copy_to_clipboard"), events);

        opener.opened.clear();
        h->widget<QPushButton>("but_webopenimage")->click();
        QTRY_COMPARE_WITH_TIMEOUT(opener.opened.size(), 1, kPageTimeoutMs);
        const QFileInfo saved(opener.opened.first().toLocalFile());
        QCOMPARE(saved.absolutePath(), QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
        QVERIFY(QRegularExpression(R"(zorvane \d{4}-\d\d-\d\d \d\d-\d\d-\d\d(-\(\d+\))*\.png)")
                    .match(saved.fileName())
                    .hasMatch());
        QVERIFY(!QImage(saved.filePath()).isNull());

        h->widget<QPushButton>("but_webcopyimage")->click();
        h->page->SelectFormat(0, 3, +1);
        QString box = ViewPageHarness::boxOpenedBy(
            [&] { QTest::qWaitFor([&] { return loading->currentIndex() == 0; }, kPageTimeoutMs); });
        QCOMPARE(box, QString());
        QCOMPARE(clipboard(), kFormula);
    }

    // The original image's address comes from the service: only a web address goes to the desktop.
    void originalImageOpensOnlyWebAddresses_data()
    {
        QTest::addColumn<QString>("address"); // "-": the fake service's own; "s": the same over https
        QTest::addColumn<bool>("opened");
        QTest::newRow("http") << "-" << true;
        QTest::newRow("https") << "s" << true;
        QTest::newRow("a file") << "file:///etc/passwd" << false;
        QTest::newRow("a file, upper case") << "FILE:///etc/passwd" << false;
        QTest::newRow("another scheme") << "ftp://127.0.0.1/a.png" << false;
        QTest::newRow("no host") << "https:///a.png" << false;
    }

    void originalImageOpensOnlyWebAddresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, opened);
        const auto qelt = fresh();
        if (address == "s")
            qelt->originalImageUrl.replace("http:", "https:");
        else if (address != "-")
            qelt->originalImageUrl = address;
        QVERIFY(h->showSettled(qelt));
        opener.opened.clear();
        for (const char* scheme : {"http", "https", "ftp"})
            QDesktopServices::setUrlHandler(scheme, &opener, "open");
        if (!opened)
            QTest::ignoreMessage(QtWarningMsg,
                                 qPrintable("[QeltViewFrame] Not opening the original image's address: " +
                                            qelt->originalImageUrl));
        h->widget<QPushButton>("but_originopenpng")->click();
        for (const char* scheme : {"http", "https", "ftp"})
            QDesktopServices::unsetUrlHandler(scheme);
        QCOMPARE(opener.opened, opened ? QList<QUrl>{QUrl(qelt->originalImageUrl)} : QList<QUrl>());
    }

    void csvExportWritesTheFirstValue()
    {
        const auto table = h->add(id("table"), QString(), kTable);
        QVERIFY(h->showSettled(table));
        QTemporaryDir dir;
        const QString path = dir.filePath("out.csv");
        FileDialog::setNextFileName(path);
        QString box = ViewPageHarness::boxOpenedBy([this] { h->page->ExportCsv(); });
        QCOMPARE(box, QString());
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("Name,Value\r\nab,50"));

        setClipboard("before");
        h->widget<QPushButton>("but_copy_tsv")->click();
        QCOMPARE(QString::fromUtf8(clipboardFromOtherClient("text/plain")), QString("Name\tValue\nab\t50"));
        QVERIFY(!h->widget<QLabel>("lb_copied_data")->isHidden());
        QApplication::setActiveWindow(&h->window);
        QApplication::setActiveWindow(nullptr);
        const QList<QJsonObject> events{QJsonObject{{"format", "tsv_ocr"}}};
        QCOMPARE(h->events("copy_to_clipboard"), events);

        // Double click on the CSV row, into a folder that is not there.
        const QString missing = dir.filePath("none/out.csv");
        FileDialog::setNextFileName(missing);
        QLineEdit* csvRow = h->dataRows().at(1);
        QCOMPARE(csvRow->text(), QString("Export CSV"));
        box = ViewPageHarness::boxOpenedBy([csvRow] { QTest::mouseDClick(csvRow, Qt::LeftButton); });
        QCOMPARE(box, "Can't access the file " + missing);
        QVERIFY(h->widget<QPushButton>("but_export_csv")->isEnabled());

        FileDialog::setNextFileName(QString()); // cancelled
        QCOMPARE(ViewPageHarness::boxOpenedBy([this] { h->page->ExportCsv(); }), QString());
        QVERIFY(!QFileInfo::exists(missing));
    }

    void keysWalkRowsAndTabs_data()
    {
        QTest::addColumn<Walk>("walk");
        // A formula with an image: OCR 0 TSV (hidden), 1 MS Word, 2 image, 3-6 rows; Data 0 DOCX, 1-4
        // formats; Original 0 image, 1-3 rows.
        QTest::newRow("down through OCR rows") << Walk{"OCR", {4, 0, 0}, "d", "OCR", {5, 0, 0}, "ocr 5"};
        QTest::newRow("up from the first OCR row renders the image")
            << Walk{"OCR", {3, 0, 0}, "u", "OCR", {2, 0, 0}, "-"};
        QTest::newRow("up through OCR rows") << Walk{"OCR", {4, 0, 0}, "u", "OCR", {3, 0, 0}, "ocr 3"};
        QTest::newRow("down from the last OCR row enters Data at DOCX")
            << Walk{"OCR", {6, 0, 0}, "d", "Data", {6, 0, 0}, "-"};
        QTest::newRow("down again copies a Data row")
            << Walk{"OCR", {6, 0, 0}, "dd", "Data", {6, 1, 0}, "data 1"};
        QTest::newRow("up from the first Data row ends on the last OCR row")
            << Walk{"Data", {3, 0, 0}, "u", "OCR", {6, 0, 0}, "ocr 6"};
        QTest::newRow("down from the last Original row enters the Solver")
            << Walk{"Original", {3, 0, 3}, "d", "Solver", {3, 0, 3}, "-"};
        QTest::newRow("down from the Solver wraps to MS Word")
            << Walk{"Original", {3, 0, 3}, "dd", "OCR", {1, 0, 3}, "mathmlword"};
        QTest::newRow("up from MS Word wraps through the Solver to the last Original row")
            << Walk{"OCR", {1, 0, 0}, "uu", "Original", {1, 0, 3}, "original 3"};
        QTest::newRow("shift down changes the tab only")
            << Walk{"OCR", {4, 0, 0}, "D", "Data", {4, 0, 0}, "-"};
        QTest::newRow("shift up wraps and the tab selects its row")
            << Walk{"OCR", {4, 0, 1}, "UU", "Original", {4, 0, 1}, "original 1"};
        // The user's choice, remembered for the next Qelt's Original tab.
        QTest::newRow("up from the first Original row copies the original picture")
            << Walk{"Original", {3, 0, 1}, "u", "Original", {3, 0, 0}, "picture"};
    }

    void keysWalkRowsAndTabs()
    {
        QFETCH(Walk, walk);
        const auto qelt = fresh();
        QVERIFY(h->showSettled(qelt, walk.tab == "OCR" ? walk.from.ocrRow : 3));
        // The original picture is copied once it is on disk.
        QVERIFY(waitUntil([&] {
            return !h->library.imageController()
                        ->originalImage(qelt->id, qelt->originalImageUrl, false)
                        .isMissing();
        }));
        utils::setRowMemory(walk.from);
        // The other tabs select their remembered rows at once; the tab opened is the one remembered.
        h->page->SelectTab(h->tabTitles().indexOf(walk.tab), true, true);
        setClipboard("-");
        for (const QChar key : walk.keys) {
            if (key == 'd')
                h->page->OnNextRowKey();
            else if (key == 'u')
                h->page->OnPrevRowKey();
            else if (key == 'D')
                h->page->SelectNextTab(-1, true);
            else
                h->page->SelectPrevTab(-1, true);
        }
        QCOMPARE(h->currentTab(), walk.endTab);
        QCOMPARE(utils::rowMemory(), walk.to);
        QString expected = walk.copied;
        if (walk.copied.startsWith("ocr "))
            expected = h->ocrRows().at(walk.copied.mid(4).toInt() - 3)->text();
        else if (walk.copied.startsWith("data "))
            expected = h->dataRows().at(walk.copied.mid(5).toInt())->text();
        else if (walk.copied.startsWith("original "))
            expected = h->originalRows().at(walk.copied.mid(9).toInt() - 1)->text();
        if (walk.copied == "mathmlword")
            QVERIFY2(clipboard().startsWith("<mml:math"), qPrintable(clipboard()));
        else if (walk.copied == "picture")
            QVERIFY(clipboardFormatsFromOtherClient().contains("image/png"));
        else
            QCOMPARE(clipboard(), expected);
        QCOMPARE(kKeyLastTabName.get(), walk.endTab);
        // An image on its way lands before the next case begins.
        QTRY_COMPARE_WITH_TIMEOUT(h->widget<QStackedWidget>("stackLoading")->currentIndex(), 0,
                                  kPageTimeoutMs);
    }

    void enterEditsTheFocusedRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("edit");
        QTest::newRow("latex row") << 0 << "latex";
        QTest::newRow("text row") << 1 << "text";
        QTest::newRow("block row") << 2 << "latex";
        QTest::newRow("no row") << -1 << "";
    }

    void enterEditsTheFocusedRow()
    {
        QFETCH(int, row);
        QFETCH(QString, edit);
        const auto formula = fresh();
        QVERIFY(h->showSettled(formula));
        h->window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&h->window, kWaitMs));
        QWidget* target = row < 0 ? h->widget<QWidget>("but_copy_mathml_word") : h->ocrRows().at(row);
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());
        QSignalSpy latex(h->page, &QeltViewFrame::EditQeltLatex);
        QSignalSpy text(h->page, &QeltViewFrame::EditQeltText);
        QTest::keyClick(target, Qt::Key_Return);
        if (row >= 0) // the row's edit button does the same
            ViewPageHarness::rowButtons(h->ocrRows().at(row)).at(1)->click();
        const int times = row >= 0 ? 2 : 1;
        QCOMPARE(latex.count(), edit == "latex" ? times : 0);
        QCOMPARE(text.count(), edit == "text" ? times : 0);
        if (!edit.isEmpty())
            QCOMPARE((edit == "latex" ? latex : text).at(0).at(0).toString(), formula->id);
    }

    // A Qelt with neither content nor image has no tab and no row: keys and copies find nothing to do.
    void nothingToWalkDoesNothing()
    {
        const auto empty = h->add(id("empty"), QString(), QString(), false);
        QTRY_VERIFY_WITH_TIMEOUT(h->idle(), kPageTimeoutMs);
        h->page->ShowQelt(empty);
        QCOMPARE(h->tabs()->count(), 0);
        setClipboard("kept");
        h->page->OnNextRowKey();
        h->page->OnPrevRowKey();
        h->page->SelectNextTab(-1, true);
        h->page->SelectPrevTab(-1, true);
        h->page->SelectFirstRowOfTab();
        h->page->SelectLastRowOfTab();
        h->page->CopyTsv();
        h->page->CopyMathmlWord();
        for (int list = 0; list < 3; ++list)
            h->page->SelectFormat(list, list == 0 ? 3 : 0, -1);
        QCOMPARE(clipboard(), QString("kept"));
    }

    // Quitting while the rendered image is under way (and already cancelled by a row's copy): the page
    // goes whole, and its renderer's last answer reaches nobody. Last here: the page is gone after it.
    void pageGoesWhileItsImageRenders()
    {
        QVERIFY(h->showSettled(fresh()));
        h->widget<QPushButton>("but_webcopyimage")->click();
        h->page->SelectFormat(0, 3, +1);
        static QStringList s_warnings;
        s_warnings.clear();
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
                if (type == QtWarningMsg)
                    s_warnings << message;
            });
        delete h->page;
        h->page = nullptr;
        qInstallMessageHandler(previous);
        QVERIFY2(s_warnings.filter("[WebViewWrapper]").isEmpty(), qPrintable(s_warnings.join('\n')));
    }
};

ZQ_TEST_MAIN(TestViewPageCopy)
#include "test_view_page_copy.moc"
