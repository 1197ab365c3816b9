#include "support/TestMain.h"

#include "core/AnimatedLabel.h"
#include "core/FocusShadowDrawer.h"
#include "core/MouseDragging.h"
#include "core/widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <cmath>

namespace {

// A window that counts the mouse events it still receives through the filter.
class Window : public QWidget
{
public:
    int presses = 0;
    int moves = 0;
    int releases = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
    void mouseMoveEvent(QMouseEvent*) override { ++moves; }
    void mouseReleaseEvent(QMouseEvent*) override { ++releases; }
};

void send(QWidget* target, QEvent::Type type, const QPoint& global, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(target->mapFromGlobal(global)), QPointF(global),
                      type == QEvent::MouseMove ? Qt::NoButton : button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestSmallWidgets : public QObject
{
    Q_OBJECT

private slots:
    void draggingStartsAtSixPixelsFromThePress()
    {
        Window window;
        window.setWindowFlag(Qt::FramelessWindowHint);
        window.move(100, 100);
        MouseDragging dragging(&window);
        const QPoint press(300, 300);
        send(&window, QEvent::MouseButtonPress, press);
        send(&window, QEvent::MouseMove, press + QPoint(3, 2));
        QCOMPARE(window.pos(), QPoint(100, 100));
        send(&window, QEvent::MouseMove, press + QPoint(3, 3));
        QCOMPARE(window.pos(), QPoint(103, 103));
        // Measured from the press point, not from the last move: back near it, the window stays.
        send(&window, QEvent::MouseMove, press + QPoint(1, 0));
        QCOMPARE(window.pos(), QPoint(103, 103));
        send(&window, QEvent::MouseMove, press + QPoint(-20, 40));
        QCOMPARE(window.pos(), QPoint(80, 140));
        send(&window, QEvent::MouseButtonRelease, press + QPoint(-20, 40));
        send(&window, QEvent::MouseMove, press + QPoint(50, 50));
        QCOMPARE(window.pos(), QPoint(80, 140));
        // Nothing was consumed.
        QCOMPARE(window.presses, 1);
        QCOMPARE(window.moves, 5);
        QCOMPARE(window.releases, 1);
    }

    void otherButtonsNeitherStartNorEndADrag()
    {
        Window window;
        window.move(10, 10);
        MouseDragging dragging(&window);
        send(&window, QEvent::MouseMove, QPoint(50, 50));
        send(&window, QEvent::MouseButtonPress, QPoint(50, 50), Qt::RightButton);
        send(&window, QEvent::MouseMove, QPoint(80, 80));
        QCOMPARE(window.pos(), QPoint(10, 10));

        send(&window, QEvent::MouseButtonPress, QPoint(50, 50));
        send(&window, QEvent::MouseButtonRelease, QPoint(50, 50), Qt::RightButton);
        send(&window, QEvent::MouseMove, QPoint(60, 50));
        QCOMPARE(window.pos(), QPoint(20, 10));
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
        QCOMPARE(window.presses, 1); // the label left it to the window
        send(&window, QEvent::MouseMove, QPoint(30, 30));
        QCOMPARE(window.pos(), QPoint(10, 10));
        send(&window, QEvent::MouseButtonRelease, QPoint(30, 30));

        // A field takes its own presses: no drag starts there, and the field still gets the press.
        send(edit, QEvent::MouseButtonPress, edit->mapToGlobal(QPoint(5, 5)));
        QCOMPARE(window.presses, 1);
        send(&window, QEvent::MouseMove, QPoint(200, 200));
        QCOMPARE(window.pos(), QPoint(10, 10));
    }

    void animatedLabelRebuildsItsStyleOnEveryChange()
    {
        AnimatedLabel label(QStringLiteral("hint"));
        QCOMPARE(label.styleSheet(),
                 QStringLiteral("QLabel {  background-color: #ffffff;  border: 1px solid #ffffff;  "
                                "color: #000000;  font-size: 12px;  font-weight: 600;}"));
        label.setBackgroundColor(QColor(10, 20, 30, 40)); // alpha does not reach the sheet
        QVERIFY(label.styleSheet().contains(QStringLiteral("background-color: #0a141e;")));
        QVERIFY(label.setProperty("borderColor", QColor(Qt::red)));
        QVERIFY(label.setProperty("borderWidth", 3));
        QVERIFY(label.setProperty("fontWeight", 400));
        QVERIFY(label.styleSheet().contains(QStringLiteral("border: 3px solid #ff0000;")));
        QVERIFY(label.styleSheet().contains(QStringLiteral("font-weight: 400;")));

        // What the handwriting hint does: animate a colour through the property system.
        QPropertyAnimation animation(&label, "backgroundColor");
        animation.setStartValue(QColor(Qt::black));
        animation.setEndValue(QColor(Qt::white));
        animation.setDuration(1000);
        animation.start();
        animation.pause();
        animation.setCurrentTime(500);
        const QColor middle = label.backgroundColor();
        QVERIFY(middle.red() > 100 && middle.red() < 155);
        QVERIFY(label.styleSheet().contains(middle.name()));
    }

    void focusShadowDrawerCallsBackOnReturnAndPassesTheKeyOn()
    {
        QLineEdit field;
        int calls = 0;
        QObject owner;
        utils::FocusShadowDrawer drawer(&field, &owner, [&calls] { ++calls; });
        QCOMPARE(drawer.defaultColor, QColor(0, 147, 255));
        QCOMPARE(drawer.currentColor(), drawer.defaultColor);
        field.installEventFilter(&drawer);
        QTest::keyClick(&field, Qt::Key_A);
        QTest::keyClick(&field, Qt::Key_Return);
        QTest::keyClick(&field, Qt::Key_Enter);
        QCOMPARE(calls, 2);
        QCOMPARE(field.text(), QStringLiteral("a"));

        drawer.setColor(QColor(255, 54, 46));
        QCOMPARE(drawer.currentColor(), QColor(255, 54, 46));
        drawer.setColor(drawer.defaultColor);
        QCOMPARE(drawer.currentColor(), drawer.defaultColor);

        utils::FocusShadowDrawer withoutCallback(&field, &owner, {});
        field.installEventFilter(&withoutCallback);
        QTest::keyClick(&field, Qt::Key_Return);
        QCOMPARE(calls, 3);
    }

    void confidenceColorThresholds_data()
    {
        QTest::addColumn<double>("confidence");
        QTest::addColumn<QString>("color");
        QTest::newRow("0.5") << 0.5 << "#66d945";
        QTest::newRow("1") << 1.0 << "#66d945";
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
        QCOMPARE(utils::emailErrorText(QStringLiteral("email_not_found_or_already_verified")),
                 utils::emailErrorText(QStringLiteral("email_not_found")));
        QCOMPARE(utils::emailErrorText(QStringLiteral("email_already_exists")),
                 QStringLiteral("Already exists"));
        QCOMPARE(utils::emailErrorText(QStringLiteral("Invalid_email")), QString());
        QCOMPARE(utils::passwordErrorText(QStringLiteral("incorrect_password")),
                 QStringLiteral("Incorrect password"));
        QCOMPARE(utils::passwordErrorText(QStringLiteral("invalid_email")), QString());
    }

    void iconLabelRowPutsTheIconAtTheLeft()
    {
        QLineEdit field;
        field.setStyleSheet(QString::fromLatin1(utils::lineEditStyle()));
        utils::makeIconLabelRow(&field, QStringLiteral(":/images/new_design/email_icon.svg"));
        auto* layout = qobject_cast<QHBoxLayout*>(field.layout());
        QVERIFY(layout);
        QCOMPARE(layout->count(), 3);
        QCOMPARE(layout->itemAt(0)->spacerItem()->sizeHint().width(), 3);
        auto* icon = qobject_cast<QLabel*>(layout->itemAt(1)->widget());
        QVERIFY(icon);
        QCOMPARE(icon->size(), QSize(16, 16));
        QVERIFY(!icon->pixmap(Qt::ReturnByValue).isNull());
        QVERIFY(layout->itemAt(2)->spacerItem());
    }
};

ZQ_TEST_MAIN(TestSmallWidgets)
#include "test_small_widgets.moc"
