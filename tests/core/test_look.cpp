#include "support/TestMain.h"

#include "core/Palette.h"
#include "core/fonts.h"
#include "core/identity.h"
#include "core/pens.h"
#include "core/presets.h"
#include "core/styles.h"

#include <QLabel>
#include <QPushButton>
#include <QTextDocument>

namespace {

// Built during this file's static initialisation, after the inline constants it reads: if their
// order were left to chance, this would copy an empty pen colour or an empty list.
struct StaticReader
{
    QColor dimmedPenColor = kDimmedPen.color();
    int pngPresets = builtInPngPresets.size();
    QString firstTip = builtInPngPresets.value(0).tip;
    QString blue = Palette::blue.name();
};
const StaticReader staticReader;

QStringList g_styleWarnings;

void collectStyleWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg && text.contains(QLatin1String("stylesheet"), Qt::CaseInsensitive))
        g_styleWarnings << text;
}

} // namespace

class TestLook : public QObject
{
    Q_OBJECT

private slots:
    void constantsAreBuiltBeforeStaticsThatReadThem()
    {
        QCOMPARE(staticReader.dimmedPenColor, QColor(QStringLiteral("#C3C2C6")));
        QCOMPARE(staticReader.pngPresets, 7);
        QCOMPARE(staticReader.firstTip, tipMathmlWord);
        QCOMPARE(staticReader.blue, QStringLiteral("#0093ff"));
    }

    void paletteEqualsColoursParsedFromText_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QString>("text");
        QTest::newRow("blue") << Palette::blue << "#0093FF";
        QTest::newRow("nearBlack") << Palette::nearBlack << "#0F0F0F";
        QTest::newRow("grey") << Palette::grey << "#83838B";
        QTest::newRow("red") << Palette::red << "#C63A42";
    }

    void paletteEqualsColoursParsedFromText()
    {
        QFETCH(QColor, color);
        QFETCH(QString, text);
        // Equality compares the colour model too, so derived shades match those of parsed colours.
        QCOMPARE(color, QColor(text));
        QCOMPARE(color.darker(115).name(), QColor(text).darker(115).name());
    }

    void onlyTheEraserPenCountsAsNotDrawing()
    {
        for (const QPen& pen : {kDrawPen, kDimmedPen, kEraserPen}) {
            QCOMPARE(pen.widthF(), 3.0);
            QCOMPARE(pen.style(), Qt::SolidLine);
            QCOMPARE(pen.capStyle(), Qt::SquareCap);
            QCOMPARE(pen.joinStyle(), Qt::BevelJoin);
        }
        QVERIFY(kDrawPen != kEraserPen);
        QVERIFY(kDimmedPen != kEraserPen);
        QVERIFY(kDrawPen != kDimmedPen);
        QCOMPARE(QPen(kEraserPen), kEraserPen);
    }

    void builtInPresetsKeepTheirOrderAndTips()
    {
        const QStringList png = {"Microsoft Office - 12pt font",
                                 "Microsoft Office - 16pt font",
                                 "Microsoft Office - 20pt font",
                                 "Typora",
                                 "Google Docs",
                                 "Google Slides",
                                 "Github"};
        const QStringList tiff = {"Adobe Illustrator", "Google Slides", "Microsoft PowerPoint",
                                  "Microsoft Office - 12pt font"};
        QStringList names;
        for (const Preset& p : builtInPngPresets) {
            names << p.name;
            QCOMPARE(p.fileType, 0);
            QCOMPARE(p.fontColorKind, int(Preset::Black));
        }
        QCOMPARE(names, png);
        names.clear();
        for (const Preset& p : builtInTiffPresets) {
            names << p.name;
            QCOMPARE(p.fileType, 1);
        }
        QCOMPARE(names, tiff);

        // A fresh installation selects PNG entry 1 and shows its tip.
        QCOMPARE(Preset(), builtInPngPresets[0]);
        QCOMPARE(builtInPngPresets[0].tip, tipMathmlWord);
        QCOMPARE(builtInTiffPresets[3].tip, tipMathmlWord);
        QVERIFY(builtInPngPresets[5] != builtInTiffPresets[1]);
        QVERIFY(builtInPngPresets[5].tip != builtInTiffPresets[1].tip);
        QVERIFY(builtInPngPresets[0] != builtInTiffPresets[3]);
        QVERIFY(builtInPngPresets[6].tip.isEmpty());
        QVERIFY(builtInTiffPresets[0].tip.isEmpty());
        QVERIFY(builtInTiffPresets[2].tip.isEmpty());
        QCOMPARE(builtInPngPresets[3].dpi, 300);
        QCOMPARE(builtInPngPresets[6].dpi, 150);
        QCOMPARE(builtInTiffPresets[0].backgroundKind, int(Preset::Transparent));
    }

    void tipLinksPointAtTheProductionSite()
    {
        zq::test::clearSettings();
        QCOMPARE(kTipSiteUrl, utils::siteUrl());
        QVERIFY(tipMathmlWord.contains(QStringLiteral(
            "<a href=\"https://zorvane.com/docs/qelt/qelt-with-microsoft-word\" style=\"color:blue\">")));
        QVERIFY(tipTypora.endsWith(QStringLiteral("Typora</a>")));
        QVERIFY(tipTypora.startsWith(
            QStringLiteral("You can also <a href=\"https://zorvane.com/docs/qelt/qelt-with-typora\">")));
        // The dialog shows tips as rich text: the anchors must survive as links.
        QLabel label(QStringLiteral("<b>Pro tip:</b> %1").arg(tipMathmlWord));
        QVERIFY(Qt::mightBeRichText(label.text()));
    }

    void styleSheetsAreFilledAndParse_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::newRow("primaryButton(-1)") << utils::styles::primaryButton(-1);
        QTest::newRow("primaryButton(16)") << utils::styles::primaryButton(16);
        QTest::newRow("radioGroup(1, 19)") << utils::styles::radioGroup(1, 19);
        QTest::newRow("radioGroup(0, 19)") << utils::styles::radioGroup(0, 19);
        QTest::newRow("radioGroup(2, 19)") << utils::styles::radioGroup(2, 19);
        QTest::newRow("whiteButton") << utils::styles::whiteButton();
        QTest::newRow("formattingScrollArea") << utils::styles::formattingScrollArea();
        QTest::newRow("tabWidget") << utils::styles::tabWidget();
        QTest::newRow("flatButton") << utils::styles::flatButton();
        QTest::newRow("paddedFlatButton") << utils::styles::paddedFlatButton();
        QTest::newRow("iconButton") << utils::styles::iconButton();
        QTest::newRow("splitter") << utils::styles::splitter();
        QTest::newRow("segmentButton(true)") << utils::styles::segmentButton(true);
        QTest::newRow("segmentButton(false)") << utils::styles::segmentButton(false);
        QTest::newRow("plainTextEdit") << utils::styles::plainTextEdit();
        QTest::newRow("lineEdit(true, true)") << utils::styles::lineEdit(true, true);
        QTest::newRow("lineEdit(false, false)") << utils::styles::lineEdit(false, false);
        QTest::newRow("colorButton") << utils::styles::colorButton();
        QTest::newRow("codeFontStyleSheet") << utils::codeFontStyleSheet();
    }

    void styleSheetsAreFilledAndParse()
    {
        QFETCH(QString, sheet);
        QVERIFY2(!sheet.contains(QRegularExpression(QStringLiteral("%\\d"))), qPrintable(sheet));
        QVERIFY(!sheet.contains(QLatin1Char('\n')));
        // Qt drops a sheet it cannot parse with no more than a warning, leaving the widget unstyled.
        g_styleWarnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectStyleWarnings);
        QPushButton widget;
        widget.setStyleSheet(sheet);
        widget.ensurePolished();
        qInstallMessageHandler(previous);
        QVERIFY2(g_styleWarnings.isEmpty(), qPrintable(g_styleWarnings.join('\n')));
    }

    void primaryButtonWritesTheSizeFragmentBetweenTwoBlanks()
    {
        QVERIFY(utils::styles::primaryButton(-1).contains(
            QStringLiteral("border-radius: 8px;    font-weight: 600;")));
        QVERIFY(utils::styles::primaryButton(16).contains(
            QStringLiteral("border-radius: 8px;  font-size: 16px;  font-weight: 600;")));
        QVERIFY(utils::styles::primaryButton(-1).contains(QStringLiteral("background-color: #0093ff;")));
        QVERIFY(utils::styles::primaryButton(12).endsWith(
            QStringLiteral("QPushButton:disabled {  background-color: #b6e7ff;  color: #f3f2f7;}")));
    }

    void radioGroupEndsWithTheRuleOfItsPosition()
    {
        using utils::styles::radioGroup;
        QVERIFY(radioGroup(0, 8).endsWith(QStringLiteral("border-right: none;}")));
        QVERIFY(radioGroup(1, 8).endsWith(
            QStringLiteral("stop:0.982955 %1);}").arg(Palette::blueHover.darker(120).name())));
        QVERIFY(radioGroup(2, 8).endsWith(QStringLiteral("border-left: none;}")));
        QCOMPARE(radioGroup(5, 8), radioGroup(1, 8));
        QVERIFY(radioGroup(2, 19).contains(QStringLiteral("padding-right: 19px;")));
        QVERIFY(radioGroup(0, 8).contains(QStringLiteral("stop:0 #0093ff, stop:0.392045 ")));
        QVERIFY(radioGroup(0, 8).contains(QStringLiteral("stop:0 #3ab5ff, stop:0.375 ")));
        QVERIFY(radioGroup(0, 8).contains(QStringLiteral("QRadioButton::indicator {\t width: 0px;")));
    }

    void segmentAndLineEditSheetsFollowTheirEnds()
    {
        using namespace utils::styles;
        QVERIFY(segmentButton(true).contains(QStringLiteral("  ;  border-top-left-radius: 3px;")));
        QVERIFY(segmentButton(true).contains(QStringLiteral("border-top-right-radius: 0px;")));
        QVERIFY(segmentButton(false).contains(
            QStringLiteral("border-left: none;;  border-top-left-radius: 0px;")));
        QVERIFY(segmentButton(false).contains(QStringLiteral("border-bottom-right-radius: 3px;")));

        QVERIFY(!lineEdit(true, true).contains(QStringLiteral("border-bottom: none;")));
        QVERIFY(lineEdit(true, true).contains(QStringLiteral("border-bottom-left-radius: 10px;")));
        QVERIFY(lineEdit(true, false).contains(QStringLiteral("border-bottom: none;")));
        QVERIFY(lineEdit(true, false).contains(QStringLiteral("border-top-left-radius: 10px;")));
        QVERIFY(lineEdit(true, false).contains(QStringLiteral("border-bottom-right-radius: 0px;")));
        QVERIFY(lineEdit(false, true).contains(QStringLiteral("border-top-right-radius: 0px;")));
        QVERIFY(lineEdit(false, true).contains(QStringLiteral("border-bottom-left-radius: 10px;")));
        for (bool top : {false, true}) {
            for (bool bottom : {false, true})
                QVERIFY(lineEdit(top, bottom).contains(QStringLiteral("font-size: 8pt;")));
        }
        QCOMPARE(colorButton().count(QStringLiteral("white")), 2);
        QVERIFY(whiteButton().contains(QStringLiteral("border: 1px solid #c3c2c6;}")));
    }

    void codeFontRuleReachesMarkedWidgets()
    {
        QCOMPARE(utils::codeFontStyleSheet(),
                 QStringLiteral("*[cssClass~='codeHolder'] {  font-family: 'Inconsolata';}"));
        QLabel label;
        label.setProperty("cssClass", QStringLiteral("other"));
        utils::markAsCodeHolder(&label);
        QCOMPARE(label.property("cssClass").toString(), QStringLiteral("codeHolder"));
        utils::markAsCodeHolder(nullptr);

        const QUrl url = utils::editorPageUrl();
        QCOMPARE(url.scheme(), QStringLiteral("qrc"));
        QCOMPARE(url.path(), QStringLiteral("/html/zorvane_qelting_editor.html"));
        QVERIFY(QFile::exists(QLatin1Char(':') + url.path()));
    }
};

ZQ_TEST_MAIN(TestLook)
#include "test_look.moc"
