#include "MainWindowHarness.h"

#include "authoring/pages/QeltEditFrame.h"
#include "core/settings.h"
#include "support/DummyXorg.h"
#include "support/PrivateDisplay.h"
#include "view/window/windowGeometry.h"

#include <QCursor>
#include <QSettings>
#include <QStyle>
#include <QTabWidget>
#include <QWindow>

using namespace zq::test;

namespace {

// With ZQ_DUAL_SCREENS set the test runs on a desktop of both, with ZQ_WINDOW_MANAGER on a full HD screen of
// its own with a window manager: each starts before main, since Qt opens the display once, with the
// application object.
const bool kDualScreens =
    qEnvironmentVariableIsSet("ZQ_DUAL_SCREENS") && (zq::test::startDummyDesktop({kScreen, kSecond}), true);
const bool kOwnDisplay =
    qEnvironmentVariableIsSet("ZQ_WINDOW_MANAGER") &&
    (zq::test::startPrivateDisplay(kScreen.size()), zq::test::startWindowManager(), true);

// The ink of a view's picture: its dark pixels, their number and where they lie.
struct Ink
{
    int pixels = 0;
    QRect box;

    explicit Ink(const QImage& image)
    {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(image.pixel(x, y)) < 128) {
                    ++pixels;
                    box |= QRect(x, y, 1, 1);
                }
            }
        }
    }
};

// What the X server shows of a window's view right after the window's first frame on the screen: the
// window's first exposure is handled (painted and flushed) before the picture is taken.
class FirstFrame : public QObject
{
public:
    QImage frame;

    FirstFrame(QWidget* window, const char* view) : m_window(window)
    {
        m_view = window->findChild<QWidget*>(QLatin1String(view));
        qApp->installEventFilter(this);
    }

    QImage grabNow() const
    {
        const QPoint at = m_view->mapToGlobal(QPoint());
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, at.x(), at.y(), m_view->width(), m_view->height())
            .toImage();
    }

    // The first frame shows what `settled` shows: the same ink, in the same place.
    bool drawsAs(const QImage& settled)
    {
        m_settled = settled;
        const Ink now(frame), later(settled);
        return later.pixels > 0 && now.box == later.box &&
               qAbs(now.pixels - later.pixels) * 10 <= later.pixels;
    }

    QString describe() const
    {
        const Ink now(frame), later(m_settled);
        return QStringLiteral("first frame: %1 dark pixels in (%2,%3 %4x%5); settled: %6 in (%7,%8 %9x%10)")
            .arg(now.pixels)
            .arg(now.box.x())
            .arg(now.box.y())
            .arg(now.box.width())
            .arg(now.box.height())
            .arg(later.pixels)
            .arg(later.box.x())
            .arg(later.box.y())
            .arg(later.box.width())
            .arg(later.box.height());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Only once the window is on the screen: an exposure of its earlier showing may still be on its way.
        if (event->type() != QEvent::Expose || !frame.isNull() || !m_window->windowHandle() ||
            watched != m_window->windowHandle() || !static_cast<QWindow*>(watched)->isExposed() ||
            !m_window->isVisible() || m_window->testAttribute(Qt::WA_DontShowOnScreen))
            return false;
        qApp->removeEventFilter(this);
        QCoreApplication::sendEvent(watched, event);
        frame = grabNow();
        return true;
    }

private:
    QWidget* m_window;
    QWidget* m_view = nullptr;
    QImage m_settled;
};

} // namespace

// Where the main window starts, how it follows the view page's size requests, and how it closes.
class TestWindowGeometry : public QObject, public MainWindowFixture
{
    Q_OBJECT

    int m_resultSerial = 0;

private slots:
    void initTestCase() { setUpWindow(); }
    void init() { resetWindow(); }
    void cleanupTestCase() { tearDownWindow(); }

    void geometryArithmetic_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QRect>("area"); // the available geometry, or the screen
        QTest::addColumn<QSize>("a");
        QTest::addColumn<QSize>("b");
        QTest::addColumn<int>("n"); // the top below the title bar, or the minimum width
        QTest::addColumn<QRect>("expected");
        const QRect onScreen(100, 100, 800, 600);
        QTest::newRow("fit: on screen stays")
            << "fit" << onScreen << kScreen << QSize() << QSize() << 30 << onScreen;
        QTest::newRow("fit: off the right and bottom comes back")
            << "fit" << QRect(1500, 900, 800, 600) << kScreen << QSize() << QSize() << 30
            << QRect(1120, 480, 800, 600);
        QTest::newRow("fit: above the title bar goes below it")
            << "fit" << QRect(10, -50, 800, 600) << kScreen << QSize() << QSize() << 30
            << QRect(10, 30, 800, 600);
        QTest::newRow("fit: wider than the screen takes its width")
            << "fit" << QRect(-100, 100, 2500, 600) << kScreen << QSize() << QSize() << 30
            << QRect(0, 100, 1920, 600);
        QTest::newRow("fit: taller than below the title bar")
            << "fit" << QRect(0, 0, 800, 1200) << kScreen << QSize() << QSize() << 30
            << QRect(0, 30, 800, 1050);
        QTest::newRow("fit: never below the minimum on a small screen")
            << "fit" << QRect(0, 0, 800, 600) << QRect(0, 0, 500, 300) << QSize() << QSize() << 30
            << QRect(0, 30, 672, 376);
        QTest::newRow("fit: onto a second screen")
            << "fit" << QRect(1800, 100, 800, 600) << QRect(1920, 0, 1280, 1024) << QSize() << QSize() << 30
            << QRect(1920, 100, 800, 600);
        QTest::newRow("recentre: wider keeps the top and centre")
            << "recentre" << onScreen << QRect() << QSize(1000, 500) << QSize() << 0
            << QRect(0, 100, 1000, 500);
        QTest::newRow("recentre: an odd difference loses a pixel")
            << "recentre" << onScreen << QRect() << QSize(803, 600) << QSize() << 0
            << QRect(99, 100, 802, 600);
        QTest::newRow("recentre: narrower") << "recentre" << onScreen << QRect() << QSize(700, 400) << QSize()
                                            << 0 << QRect(150, 100, 700, 400);
        QTest::newRow("change: far below the minimum")
            << "change" << onScreen << QRect() << QSize(-1000, -1000) << QSize() << 0
            << QRect(100, 100, 672, 376);
        QTest::newRow("change: grows right and down")
            << "change" << onScreen << QRect() << QSize(100, 40) << QSize() << 0 << QRect(100, 100, 900, 640);
        QTest::newRow("change: a delta beyond int stays a size")
            << "change" << onScreen << QRect() << QSize(INT_MAX, INT_MIN) << QSize() << 0
            << QRect(100, 100, 1 << 20, 376);
        QTest::newRow("content: grows on both sides and down")
            << "content" << onScreen << QRect() << QSize(500, 200) << QSize(700, 260) << 600
            << QRect(0, 100, 1000, 660);
        QTest::newRow("content: narrow content keeps the window's minimum width")
            << "content" << onScreen << QRect() << QSize(500, 200) << QSize(100, 200) << 700
            << QRect(10, 100, 980, 600);
        QTest::newRow("content: shrinking stops at the minimum")
            << "content" << QRect(100, 100, 700, 400) << QRect() << QSize(600, 300) << QSize(100, 50) << 0
            << QRect(350, 100, 672, 376);
        QTest::newRow("scale: to a screen twice as large")
            << "scale" << QRect() << QRect() << QSize(960, 810) << QSize(3840, 2160) << 0
            << QRect(0, 0, 1920, 1620);
        QTest::newRow("scale: truncated") << "scale" << QRect() << QRect() << QSize(1001, 1001)
                                          << QSize(1280, 720) << 0 << QRect(0, 0, 667, 667);
        QTest::newRow("scale: from a screen of no size")
            << "scale" << QRect() << QRect(0, 0, 0, 0) << QSize(960, 810) << QSize(1920, 1080) << 0
            << QRect(0, 0, 960, 810);
        QTest::newRow("first: full HD")
            << "first" << QRect() << kScreen << QSize() << QSize() << 0 << QRect(479, 134, 960, 810);
        QTest::newRow("first: a second screen") << "first" << QRect() << QRect(1920, 0, 1280, 1024) << QSize()
                                                << QSize() << 0 << QRect(2239, 127, 640, 768);
        QTest::newRow("holding: the screen with the larger part")
            << "holding" << QRect(1800, 100, 800, 600) << kSecond << QSize() << QSize() << 0 << kSecond;
        QTest::newRow("holding: equal parts, the first")
            << "holding" << QRect(1820, 0, 200, 100) << kSecond << QSize() << QSize() << 0 << kScreen;
        QTest::newRow("holding: no screen left")
            << "holding" << QRect(5000, 0, 10, 10) << kSecond << QSize() << QSize() << 0 << QRect();
        QTest::newRow("stored: usable")
            << "stored" << onScreen << QRect() << QSize() << QSize() << 0 << onScreen;
        QTest::newRow("stored: empty")
            << "stored" << QRect(5, 5, 0, 0) << QRect() << QSize() << QSize() << 0 << QRect();
        QTest::newRow("stored: none") << "stored" << QRect() << QRect() << QSize() << QSize() << 0 << QRect();
        QTest::newRow("stored: beyond any desktop")
            << "stored" << QRect(QPoint(-2000000000, 0), QPoint(2000000000, 10)) << QRect() << QSize()
            << QSize() << 0 << QRect();
    }

    void geometryArithmetic()
    {
        QFETCH(QString, op);
        QFETCH(QRect, rect);
        QFETCH(QRect, area);
        QFETCH(QSize, a);
        QFETCH(QSize, b);
        QFETCH(int, n);
        QFETCH(QRect, expected);
        using namespace windowGeometry;
        QRect result;
        if (op == "fit")
            result = fitted(rect, area, area.top() + n);
        else if (op == "recentre")
            result = recentred(rect, a);
        else if (op == "change")
            result = changedBy(rect, a.width(), a.height());
        else if (op == "content")
            result = adaptedToContent(rect, a, b, n);
        else if (op == "scale")
            result = QRect(QPoint(), scaledToScreen(a, area.isNull() ? kScreen.size() : area.size(), b));
        else if (op == "first")
            result = firstRect(area);
        else if (op == "holding")
            result = QList<QRect>{kScreen, area}.value(screenHolding(rect, {kScreen, area}));
        else
            result = isUsableStoredRect(rect) ? rect : QRect();
        QCOMPARE(result, expected);
    }

    void startGeometry_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<bool>("reported");
        const QRect first(479, 134, 960, 810);
        QTest::newRow("first start") << QVariant() << first << false;
        QTest::newRow("stored on screen")
            << QVariant(QRect(200, 150, 1000, 700)) << QRect(200, 150, 1000, 700) << false;
        QTest::newRow("stored partly off screen")
            << QVariant(QRect(-300, 400, 900, 900)) << QRect(0, 180, 900, 900) << false;
        QTest::newRow("stored wider than the screen")
            << QVariant(QRect(-300, 100, 2600, 700)) << QRect(0, 100, 1920, 700) << true;
        QTest::newRow("stored not a rectangle") << QVariant(QStringLiteral("wide")) << first << false;
        QTest::newRow("stored empty") << QVariant(QRect(10, 10, 0, 0)) << first << false;
        QTest::newRow("stored beyond any desktop")
            << QVariant(QRect(QPoint(-2000000000, 0), QPoint(2000000000, 500))) << first << false;
        QTest::newRow("stored on a screen no longer there")
            << QVariant(QRect(5000, 300, 900, 600)) << QRect(1020, 300, 900, 600) << false;
        if (!kDualScreens)
            return;
        QTest::newRow("stored on the second screen")
            << QVariant(QRect(2100, 200, 900, 700)) << QRect(2100, 200, 900, 700) << false;
        QTest::newRow("stored partly off the second screen")
            << QVariant(QRect(2900, 500, 600, 700)) << QRect(2600, 324, 600, 700) << false;
        QTest::newRow("stored mostly on the second screen")
            << QVariant(QRect(1700, 100, 800, 600)) << QRect(1920, 100, 800, 600) << false;
    }

    void startGeometry()
    {
        QFETCH(QVariant, stored);
        QFETCH(QRect, expected);
        QFETCH(bool, reported);
        if (!fullHdScreen())
            QSKIP("The cases are written for the test run's 1920x1080 screen");
        diagnosticLogs();
        m_service->clearRequests();
        QSettings().remove(kKeyLastWinSize.key());
        if (stored.isValid())
            QSettings().setValue(kKeyLastWinSize.key(), stored);
        if (reported)
            QTest::ignoreMessage(QtWarningMsg,
                                 "[WindowSizer] Latex Window size is bigger than screen resolution");
        const auto window = makeWindow();
        QCOMPARE(window->geometry(), expected);
        QCOMPARE(window->screen()->geometry(), expected.intersects(kScreen) ? kScreen : kSecond);
        QVERIFY(window->minimumWidth() <= windowGeometry::kMinimumWidth);
        QVERIFY(window->minimumHeight() <= windowGeometry::kMinimumHeight);
        QCOMPARE(window->windowTitle(), title(0));
        QCOMPARE(window->currentPage(), 0);
        // A result wider than any screen is sized against the screen the window is on when it comes: with two
        // screens the window is first moved to the other one, as a user may.
        if (kDualScreens) {
            const QRect other = window->screen()->geometry() == kScreen ? kSecond : kScreen;
            window->move(other.topLeft() + QPoint(40, 40));
            QTRY_COMPARE(window->screen()->geometry(), other);
        }
        QSize asked;
        QObject context;
        connect(window->viewPage(), &QeltViewFrame::UpdateSize, &context,
                [&](QSize, QSize size, bool*) { asked = size; });
        auto* tabs = window->viewPage()->findChild<QTabWidget*>(QStringLiteral("tab_scanResult"));
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->tabText(i) == QLatin1String("OCR"))
                tabs->setCurrentIndex(i);
        }
        window->viewPage()->OnWebviewApplied(nullptr, ContentInfo{false, 5000, 200});
        QCOMPARE(asked.width(), window->screen()->geometry().width() - 100);

        QStringList warnings;
        for (const QJsonObject& log : diagnosticLogs()) {
            if (log.value("message").toString().startsWith("Latex Window size"))
                warnings << log.value("message").toString() + ' ' + log.value("level").toString();
        }
        const int titleBar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
        QCOMPARE(warnings, reported
                               ? QStringList{QStringLiteral("Latex Window size is bigger than the screen "
                                                            "resolution. Window size: 1920x700, Screen "
                                                            "resolution: 1920x%1 warn")
                                                 .arg(1080 - titleBar)}
                               : QStringList());
        QSettings().remove(kKeyLastWinSize.key());
    }

    void viewPageSizeRequests_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<QRect>("expected");
        const QRect start(400, 200, 900, 700);
        QTest::newRow("change, far below the minimum")
            << 1 << "change" << QList<int>{-1000, -1000} << QRect(400, 200, 672, 376);
        QTest::newRow("change, larger") << 1 << "change" << QList<int>{100, 50} << QRect(400, 200, 1000, 750);
        QTest::newRow("content on the view page")
            << 1 << "content" << QList<int>{500, 200, 1000, 260} << QRect(150, 200, 1400, 760);
        QTest::newRow("content on another page")
            << 0 << "content" << QList<int>{500, 200, 1000, 260} << start;
        QTest::newRow("content of no size") << 1 << "content" << QList<int>{500, 200, 0, 260} << start;
        QTest::newRow("fixed size") << 1 << "fixed" << QList<int>{1000, 500} << QRect(350, 200, 1000, 500);
        QTest::newRow("fixed size of none: the other pages' size")
            << 1 << "fixed" << QList<int>{0, 500} << QRect(410, 200, 880, 640);
    }

    void viewPageSizeRequests()
    {
        QFETCH(int, page);
        QFETCH(QString, request);
        QFETCH(QList<int>, values);
        QFETCH(QRect, expected);
        m_window->ShowGallery();
        m_window->FitToScreen(QRect(410, 200, 880, 640));
        QCOMPARE(m_window->windowSize(), QSize(880, 640));
        if (page == 1)
            emit m_window->editPage()->WantBack(); // the view page, with no Qelt to size it
        QCOMPARE(m_window->currentPage(), page);
        m_window->FitToScreen(QRect(400, 200, 900, 700));

        QeltViewFrame* view = m_window->viewPage();
        bool handled = true;
        if (request == "change")
            emit view->ChangeWindowSize(values[0], values[1]);
        else if (request == "content")
            emit view->UpdateSize(QSize(values[0], values[1]), QSize(values[2], values[3]), &handled);
        else
            emit view->SetFixedWindowSize(values[0], values[1]);
        // Never below what the page shown needs.
        expected.setSize(expected.size().expandedTo(m_window->minimumSize()));
        QCOMPARE(m_window->geometry(), expected);
        QCOMPARE(handled, request != "content");
        if (page == 1)
            QCOMPARE(m_window->viewPageSize(), expected.size());
        // The other pages keep their size.
        m_window->ShowGallery();
        QCOMPARE(m_window->size(), page == 1 ? QSize(880, 640) : expected.size());
    }

    // The view page holds its result whole while it is shown; the other pages are not held to that height.
    void aTallResultHoldsTheViewPageOnly()
    {
        m_window->ShowQeltView(holdQelt("short1", "s^2", "$s^2$"));
        QVERIFY(viewShows("short1"));
        m_window->ShowGallery();
        settleShortTimers();
        const int least = m_window->minimumHeight();
        const QString tall =
            QStringLiteral("\\begin{pmatrix}1\\\\2\\\\3\\\\4\\\\5\\\\6\\\\7\\\\8\\\\9\\\\10\\\\11\\\\12"
                           "\\end{pmatrix}");
        m_window->ShowQeltView(holdQelt("tall1", tall, "$$" + tall + "$$"));
        QVERIFY(viewShows("tall1"));
        auto* web = m_window->viewPage()->findChild<QWidget*>(QStringLiteral("web"));
        QTRY_VERIFY(web->height() > 300 && m_window->minimumHeight() > web->height());
        m_window->ShowGallery();
        QTRY_VERIFY(m_window->minimumHeight() <= least);
    }

    // A hidden window comes up once, at the size its result asks for (the size the same Qelt gets when shown
    // again), not at its old size first; results that arrive in quick succession meanwhile show, and copy,
    // the last. On a display of the test's own, the window's first frame on the screen shows the result
    // drawn where it stays, not blank, black or at an old size.
    void hiddenWindowComesUpOnceAtItsResultsSize_data()
    {
        // The window: used (shown before), new (never shown), or gallery (new, its gallery shown and closed).
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QStringList>("results"); // the LaTeX of each, in order
        const QString used("used"), ocr("OCR");
        QTest::newRow("one result") << used << ocr << QStringList{"\\frac{1}{2}"};
        QTest::newRow("two quick results") << used << ocr << QStringList{"\\frac{1}{2}", "\\sqrt{2}"};
        QTest::newRow("the first after the start") << QString("new") << ocr << QStringList{"x^2+y^2=z^2"};
        QTest::newRow("the first after the gallery was shown")
            << QString("gallery") << ocr << QStringList{"x^2+y^2=z^2"};
        QTest::newRow("on the Data tab") << used << QString("Data") << QStringList{"\\sqrt{a^2+b^2}"};
    }

    void hiddenWindowComesUpOnceAtItsResultsSize()
    {
        QFETCH(QString, window);
        QFETCH(QString, tab);
        QFETCH(QStringList, results);
        // Far beyond the test's own wait: a result that never settles keeps the window from coming up.
        const int wait = QeltViewFrame::ResultViewWaitMs();
        QeltViewFrame::SetResultViewWaitForTesting(kWaitMs * 10);
        auto restoreWait = qScopeGuard([wait] { QeltViewFrame::SetResultViewWaitForTesting(wait); });
        kKeyLastTabName.set(tab);
        auto restoreTab = qScopeGuard([] { kKeyLastTabName.set(QStringLiteral("OCR")); });
        // The pointer stays off the window: a view under it would draw its hover.
        QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
        m_window->ShowGallery();
        m_window->FitToScreen(QRect(300, 200, 1000, 800)); // the gallery's, far from a result's
        m_window->hide();
        std::unique_ptr<LatexResultDialog> own;
        if (window != "used") {
            own = std::make_unique<LatexResultDialog>(m_switch.get(), &m_manager);
            if (window == "gallery") {
                own->show();
                QVERIFY(QTest::qWaitForWindowExposed(own.get(), kWaitMs));
                own->hide();
            }
        }
        LatexResultDialog* shown = own ? own.get() : m_window.get();
        utils::setRowMemory({3, 0, 0});
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        QList<QRect> shownAt;
        QObject context;
        connect(shown, &LatexResultDialog::Shown, &context, [&] { shownAt << shown->geometry(); });
        FirstFrame first(shown, tab == "Data" ? "data_result_view" : "web");
        QString last;
        for (const QString& latex : results) {
            last = QStringLiteral("result%1").arg(++m_resultSerial);
            shown->ShowQeltView(holdQelt(last, latex, "$" + latex + "$"));
        }
        QVERIFY(waitUntil([&] { return shown->isOnScreen(); }));
        QVERIFY(viewShows(last, shown));
        if (tab == "OCR")
            QVERIFY(waitUntil([&] { return clipboard->text() == results.last(); }));
        QCOMPARE(shownAt.size(), 1);
        QCOMPARE(shown->geometry(), shownAt.first());
        if (kOwnDisplay) {
            QVERIFY(waitUntil([&] { return !first.frame.isNull(); }));
            QVERIFY2(first.drawsAs(first.grabNow()), qPrintable(first.describe()));
        }

        // The same Qelt once more, as a later capture brings it: the window comes up at the same size.
        const QSize size = shown->size();
        shown->hide();
        const QString again = QStringLiteral("result%1").arg(++m_resultSerial);
        shown->ShowQeltView(holdQelt(again, results.last(), "$" + results.last() + "$"));
        QVERIFY(waitUntil([&] { return shown->isOnScreen(); }));
        QVERIFY(viewShows(again, shown));
        QVERIFY2(qAbs(shown->width() - size.width()) <= 4 && qAbs(shown->height() - size.height()) <= 4,
                 qPrintable(QStringLiteral("%1x%2, again %3x%4")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(shown->width())
                                .arg(shown->height())));
    }

    void restoringFromMaximisedTakesTheRememberedSize()
    {
        m_window->ShowGallery();
        m_window->FitToScreen(QRect(300, 200, 900, 700));
        m_window->showMaximized();
        // What the window manager's maximising brings.
        m_window->windowHandle()->setGeometry(QRect(0, 40, 1920, 1000));
        QTRY_COMPARE(m_window->geometry(), QRect(0, 40, 1920, 1000));
        QVERIFY(m_window->isMaximized());
        QCOMPARE(m_window->windowSize(), QSize(900, 700));
        m_window->showNormal();
        QCOMPARE(m_window->geometry(), QRect(0, 40, 900, 700));
    }

    void closingHidesOrMinimises_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("minimised");
        QTest::newRow("close, tray") << true << "close" << false << false;
        QTest::newRow("close, no tray") << false << "close" << true << true;
        QTest::newRow("escape, tray") << true << "escape" << false << false;
        QTest::newRow("escape, no tray") << false << "escape" << true << true;
        QTest::newRow("escape from full screen") << true << "full screen" << true << false;
    }

    void closingHidesOrMinimises()
    {
        QFETCH(bool, tray);
        QFETCH(QString, action);
        QFETCH(bool, visible);
        QFETCH(bool, minimised);
        kKeySystemTrayAvailable.set(tray);
        if (action == "full screen")
            m_window->showFullScreen();
        if (action == "close")
            QVERIFY(m_window->close() != visible);
        else
            QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QCOMPARE(m_window->isVisible(), visible);
        QCOMPARE(m_window->isMinimized(), minimised);
        QVERIFY(!m_window->isFullScreen());
        m_window->showNormal();
    }
};

ZQ_TEST_MAIN(TestWindowGeometry)
#include "test_window_geometry.moc"
