#include "support/TestMain.h"

#include "core/ui/AnimatedLabel.h"
#include "core/ui/FocusShadowDrawer.h"
#include "core/ui/MouseDragging.h"
#include "core/Palette.h"
#include "core/ui/fonts.h"
#include "core/ui/pens.h"
#include "core/builtinPresets.h"
#include "core/ui/styles.h"
#include "core/ui/widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QPushButton>
#include <cmath>

namespace {

// Built during this file's static initialisation, after the inline constants it reads: if their
// order were left to chance, this would copy an empty pen colour or an empty list.
struct StaticReader
{
    QColor dimmedPenColor = kDimmedPen.color();
    int pngPresets = builtInPngPresets.size();
    QColor blue = Palette::blue;
};
const StaticReader staticReader;

// A window that counts the mouse events it still receives through the filter.
class Window : public QWidget
{
public:
    int events = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++events; }
    void mouseMoveEvent(QMouseEvent*) override { ++events; }
    void mouseReleaseEvent(QMouseEvent*) override { ++events; }
};

void send(QWidget* target, QEvent::Type type, const QPoint& global, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(target->mapFromGlobal(global)), QPointF(global),
                      type == QEvent::MouseMove ? Qt::NoButton : button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

QStringList g_styleWarnings;

void collectStyleWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg && text.contains(QLatin1String("stylesheet"), Qt::CaseInsensitive))
        g_styleWarnings << text;
}

} // namespace

class TestSmallWidgets : public QObject
{
    Q_OBJECT

private slots:
    void constantsAreBuiltBeforeStaticsThatReadThem()
    {
        QVERIFY(staticReader.dimmedPenColor.isValid());
        QCOMPARE(staticReader.pngPresets, 7);
        QCOMPARE(staticReader.blue, QColor(QStringLiteral("#0093FF")));
    }

    void draggingStartsAtSixPixelsFromTheLeftPress()
    {
        Window window;
        window.setWindowFlag(Qt::FramelessWindowHint);
        window.move(100, 100);
        MouseDragging dragging(&window);
        const QPoint press(300, 300);
        send(&window, QEvent::MouseButtonPress, press, Qt::RightButton);
        send(&window, QEvent::MouseMove, press + QPoint(30, 30));
        QCOMPARE(window.pos(), QPoint(100, 100));
        send(&window, QEvent::MouseButtonPress, press);
        send(&window, QEvent::MouseMove, press + QPoint(3, 2));
        QCOMPARE(window.pos(), QPoint(100, 100));
        send(&window, QEvent::MouseMove, press + QPoint(3, 3));
        QCOMPARE(window.pos(), QPoint(103, 103));
        // Measured from the press point, not from the last move: back near it, the window stays.
        send(&window, QEvent::MouseMove, press + QPoint(1, 0));
        QCOMPARE(window.pos(), QPoint(103, 103));
        send(&window, QEvent::MouseButtonRelease, press, Qt::RightButton); // another button ends nothing
        send(&window, QEvent::MouseMove, press + QPoint(-20, 40));
        QCOMPARE(window.pos(), QPoint(80, 140));
        send(&window, QEvent::MouseButtonRelease, press + QPoint(-20, 40));
        send(&window, QEvent::MouseMove, press + QPoint(50, 50));
        QCOMPARE(window.pos(), QPoint(80, 140));
        QCOMPARE(window.events, 10); // nothing was consumed
    }

    void aPressOnAChildThatIgnoresItDragsTheWindow()
    {
        Window window;
        window.move(0, 0);
        auto* label = new QLabel(QStringLiteral("title"), &window);
        label->setGeometry(10, 10, 100, 20);
        auto* edit = new QLineEdit(&window);
        edit->setGeometry(10, 40, 100, 20);
        MouseDragging dragging(&window);
        send(label, QEvent::MouseButtonPress, QPoint(20, 20));
        QCOMPARE(window.events, 1); // the label left it to the window
        send(&window, QEvent::MouseMove, QPoint(30, 30));
        QCOMPARE(window.pos(), QPoint(10, 10));
        send(&window, QEvent::MouseButtonRelease, QPoint(30, 30));
        // A field takes its own presses: no drag starts there.
        send(edit, QEvent::MouseButtonPress, edit->mapToGlobal(QPoint(5, 5)));
        send(&window, QEvent::MouseMove, QPoint(200, 200));
        QCOMPARE(window.pos(), QPoint(10, 10));
    }

    void styleSheetsParse()
    {
        using namespace utils::styles;
        const QStringList sheets =
            QStringList() << primaryButton(-1) << primaryButton(16) << radioGroup(0, 19) << radioGroup(1, 19)
                          << radioGroup(2, 19) << whiteButton() << formattingScrollArea() << tabWidget()
                          << flatButton() << paddedFlatButton() << iconButton() << splitter()
                          << segmentButton(true) << segmentButton(false) << plainTextEdit()
                          << lineEdit(true, true) << lineEdit(false, false) << colorButton()
                          << utils::codeFontStyleSheet() << QString::fromLatin1(utils::lineEditErrorStyle())
                          << AnimatedLabel().styleSheet();
        for (const QString& sheet : sheets) {
            QVERIFY2(!sheet.contains(QRegularExpression(QStringLiteral("%\\d"))), qPrintable(sheet));
            // Qt drops a sheet it cannot parse with no more than a warning, leaving the widget unstyled.
            g_styleWarnings.clear();
            const QtMessageHandler previous = qInstallMessageHandler(collectStyleWarnings);
            QPushButton widget;
            widget.setStyleSheet(sheet);
            widget.ensurePolished();
            qInstallMessageHandler(previous);
            QVERIFY2(g_styleWarnings.isEmpty(), qPrintable(sheet + '\n' + g_styleWarnings.join('\n')));
        }
    }

    void animatedLabelFollowsAnAnimatedProperty()
    {
        AnimatedLabel label(QStringLiteral("hint"));
        QVERIFY(label.setProperty("borderWidth", 3));
        QVERIFY(label.styleSheet().contains(QStringLiteral("border: 3px solid #ffffff;")));
        QPropertyAnimation animation(&label, "backgroundColor");
        animation.setStartValue(QColor(Qt::black));
        animation.setEndValue(QColor(Qt::white));
        animation.setDuration(1000);
        animation.start();
        animation.pause();
        animation.setCurrentTime(500);
        const QColor middle = label.backgroundColor();
        QVERIFY(middle.red() > 100 && middle.red() < 155);
        QVERIFY(label.styleSheet().contains(QStringLiteral("background-color: %1;").arg(middle.name())));
    }

    void focusShadowDrawerCallsBackOnReturnAndPassesTheKeyOn()
    {
        QLineEdit field;
        int calls = 0;
        QObject owner;
        utils::FocusShadowDrawer drawer(&field, &owner, [&calls] { ++calls; });
        utils::FocusShadowDrawer withoutCallback(&field, &owner, {});
        field.installEventFilter(&drawer);
        field.installEventFilter(&withoutCallback);
        QTest::keyClick(&field, Qt::Key_A);
        QTest::keyClick(&field, Qt::Key_Return);
        QTest::keyClick(&field, Qt::Key_Enter);
        QCOMPARE(calls, 2);
        QCOMPARE(field.text(), QStringLiteral("a"));
        drawer.setColor(QColor(255, 54, 46));
        QCOMPARE(drawer.currentColor(), QColor(255, 54, 46));
    }

    void confidenceColorThresholds_data()
    {
        QTest::addColumn<double>("confidence");
        QTest::addColumn<QString>("color");
        QTest::newRow("1") << 1.0 << "#66d945";
        QTest::newRow("0.5") << 0.5 << "#66d945";
        QTest::newRow("0.49") << 0.49 << "#f1c12c";
        QTest::newRow("0.2") << 0.2 << "#f1c12c";
        QTest::newRow("0.19") << 0.19 << "#fc3d3a";
        QTest::newRow("0") << 0.0 << "#fc3d3a";
        QTest::newRow("-0.01") << -0.01 << "#7d829c";
        QTest::newRow("NaN") << std::nan("") << "#7d829c";
    }

    void confidenceColorThresholds()
    {
        QFETCH(double, confidence);
        QFETCH(QString, color);
        QCOMPARE(utils::confidenceColor(confidence).name(), color);
    }

    void errorTextsMatchIdsExactly()
    {
        QCOMPARE(utils::emailErrorText("email_not_found_or_already_verified"),
                 utils::emailErrorText("email_not_found"));
        QCOMPARE(utils::emailErrorText("email_already_exists"), QStringLiteral("Already exists"));
        QCOMPARE(utils::emailErrorText("email_not_verified"), QStringLiteral("Email is not verified"));
        QCOMPARE(utils::emailErrorText("Invalid_email"), QString());
        QCOMPARE(utils::passwordErrorText("incorrect_password"), QStringLiteral("Incorrect password"));
        QCOMPARE(utils::passwordErrorText("invalid_email"), QString());
    }

    void iconLabelRowPutsTheIconAtTheLeft()
    {
        QLineEdit field;
        utils::makeIconLabelRow(&field, QStringLiteral(":/images/new_design/email_icon.svg"));
        auto* layout = qobject_cast<QHBoxLayout*>(field.layout());
        QVERIFY(layout && layout->count() == 3);
        QCOMPARE(layout->itemAt(0)->spacerItem()->sizeHint().width(), 3);
        auto* icon = qobject_cast<QLabel*>(layout->itemAt(1)->widget());
        QVERIFY(icon && !icon->pixmap(Qt::ReturnByValue).isNull());
        QCOMPARE(icon->size(), QSize(16, 16));
    }
};

ZQ_TEST_MAIN(TestSmallWidgets)
#include "test_small_widgets.moc"
