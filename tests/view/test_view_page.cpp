// The view page with the real editor page: what a Qelt shows, on which tabs, with which rows and formats,
// and how the page follows the controllers.

#include "ViewPageHarness.h"
#include "core/settings.h"
#include "support/TestMain.h"

#include <QProgressBar>
#include <QStackedWidget>

using namespace zq::test;

namespace {

const QString kFormula = QStringLiteral("\\frac{a+b}{2}");
const QString kTable =
    QStringLiteral("Results:\n\n\\begin{tabular}{|l|c|}\n\\hline\nName & Value \\\\\n\\hline\n"
                   "$x^2$ & 50 \\\\\n\\hline\n\\end{tabular}\n");

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
        utils::setResultFormat(utils::ResultFormat());
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

    void formulaFillsTabsRowsAndFormats()
    {
        const auto qelt = h->add(id("formula"), kFormula, "$" + kFormula + "$");
        QVERIFY(h->showSettled(qelt));
        QCOMPARE(h->tabTitles(), (QStringList{"OCR", "Data", "Original"}));
        QCOMPARE(h->currentTab(), QString("OCR"));
        QCOMPARE(h->rowTexts("latexresult_widget"),
                 (QStringList{kFormula, "$" + kFormula + "$", "$$\r\n" + kFormula + "\r\n$$",
                              "\\begin{equation}\r\n" + kFormula + "\r\n\\end{equation}"}));
        QCOMPARE(h->dataTitles(),
                 (QStringList{"DOCX(MS WORD)", "MathML (MS Word)", "MathML", "AsciiMath", "SVG"}));
        QCOMPARE(h->dataRows().first()->text(), QString("Open DOCX"));
        QCOMPARE(h->dataRows().at(3)->text(), QString("(a + b)/2"));
        QCOMPARE(QGuiApplication::clipboard()->text(), kFormula);
    }
};

ZQ_TEST_MAIN(TestViewPage)
#include "test_view_page.moc"
