#include "api/Provider.h"
#include "authoring/StrokeModel.h"
#include "authoring/pages/HandwriteView.h"
#include "authoring/pages/QeltHandwriteFrame.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/ui/AnimatedLabel.h"
#include "core/ui/pens.h"
#include "support/FakeAccount.h"
#include "support/TestMain.h"

#include <QAbstractAnimation>
#include <QGraphicsPathItem>
#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>

#include <cmath>

using namespace zq::test;

Q_DECLARE_METATYPE(Strokes)

namespace {

// A drawing script: "p x,y x,y ..." draws with the pen ("P" without lifting it), "e x,y ..." erases
// along the points, and "u", "r", "c" (clear, undoable) and "n" (a fresh pad) act alone; steps are
// separated by ";".
void play(StrokeModel& model, const QString& script)
{
    for (const QString& step : script.split(';', Qt::SkipEmptyParts)) {
        QStringList words = step.simplified().split(' ');
        const QString verb = words.takeFirst();
        if (verb == "u")
            model.undo();
        else if (verb == "r")
            model.redo();
        else if (verb == "c")
            model.eraseAll();
        else if (verb == "n")
            model.reset();
        if (verb != "p" && verb != "P" && verb != "e")
            continue;
        model.setTool(verb == "e" ? StrokeModel::Tool::Eraser : StrokeModel::Tool::Pen);
        for (int i = 0; i < words.size(); ++i) {
            const QStringList xy = words[i].split(',');
            const QPointF point(xy.value(0).toDouble(), xy.value(1).toDouble());
            i == 0 ? model.press(point) : model.move(point);
        }
        if (verb != "P")
            model.release();
    }
}

// The strokes by their first point's y, which the scripts keep apart: "10 30".
QString summary(const Strokes& strokes)
{
    QStringList ys;
    for (const Stroke& stroke : strokes)
        ys.append(QString::number(stroke.first().y()));
    return ys.join(' ');
}

} // namespace

// The pad on the fake account: what it draws, what it sends, and what it makes of every answer.
class TestHandwrite : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;
    std::unique_ptr<QeltHandwriteFrame> m_pad;

    template <typename T> T* child(const char* name) { return m_pad->findChild<T*>(QLatin1String(name)); }
    QWidget* paper() { return m_pad->view()->viewport(); }

    // One pointer event on the paper, from the mouse or a tablet pen; step 0 presses, 1 moves, 2 releases.
    void point(int step, const QPointF& at, bool pen)
    {
        const QPointF global = QPointF(paper()->mapToGlobal(QPoint())) + at;
        const Qt::MouseButton button = step == 1 ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held = step == 2 ? Qt::NoButton : Qt::LeftButton;
        static const QEvent::Type mouse[] = {QEvent::MouseButtonPress, QEvent::MouseMove,
                                             QEvent::MouseButtonRelease};
        static const QEvent::Type tablet[] = {QEvent::TabletPress, QEvent::TabletMove, QEvent::TabletRelease};
        QMouseEvent byMouse(mouse[step], at, at, global, button, held, Qt::NoModifier);
        QTabletEvent byPen(tablet[step], at, global, QTabletEvent::Stylus, QTabletEvent::Pen, 0.5, 0, 0, 0, 0,
                           0, Qt::NoModifier, 1, button, held);
        QApplication::sendEvent(paper(), pen ? static_cast<QEvent*>(&byPen) : &byMouse);
    }

    void draw(const Strokes& strokes, bool pen = false, bool lift = true)
    {
        for (const Stroke& stroke : strokes) {
            for (int i = 0; i < stroke.size(); ++i)
                point(i == 0 ? 0 : 1, stroke[i], pen);
            if (lift)
                point(2, stroke.last(), pen);
        }
    }

    void click(const char* button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }

private slots:
    void init()
    {
        clearSettings();
        m_service = std::make_unique<FakeService>();
        m_account = std::make_unique<FakeAccount>(*m_service);
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
        ZorvaneAPI::Provider::instance().setToken("t0k");
        m_pad = std::make_unique<QeltHandwriteFrame>(nullptr);
        m_pad->resize(640, 420);
        m_pad->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pad.get(), kWaitMs));
    }

    void cleanup()
    {
        m_pad.reset();
        utils::overrideBaseUrlsForTesting(QString());
    }

    void editingKeepsTheRightStrokes_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("left");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("canUndo");
        QTest::addColumn<bool>("canRedo");
        QTest::newRow("two strokes, a dot") << "p 0,10 50,10; p 0,30 50,30 60,31; p 5,50"
                                            << "10 30 50" << 6 << true << false;
        QTest::newRow("repeated and odd points dropped") << "p 0,10 0,10 nan,3 5,inf 9,10 9,10"
                                                         << "10" << 2 << true << false;
        QTest::newRow("eraser takes what it crosses")
            << "p 0,10 50,10; p 0,30 50,30; p 0,60 50,60; e 25,0 25,35"
            << "60" << 2 << true << false;
        QTest::newRow("eraser passing at its reach") << "p 0,10 50,10; e 0,18 50,18"
                                                     << "" << 0 << true << false;
        QTest::newRow("eraser passing by") << "p 0,10 50,10; e 0,19 50,19"
                                           << "10" << 2 << true << false;
        QTest::newRow("eraser on a dot") << "p 40,40; e 44,44"
                                         << "" << 0 << true << false;
        QTest::newRow("undo an erase keeps the order")
            << "p 0,10 50,10; p 0,30 50,30; p 0,60 50,60; e 25,0 25,35; u"
            << "10 30 60" << 6 << true << true;
        QTest::newRow("undo, redo") << "p 0,10 50,10; p 0,30 50,30; u; u; r"
                                    << "10" << 2 << true << true;
        QTest::newRow("a new stroke drops the redo") << "p 0,10 50,10; u; p 0,70 5,70"
                                                     << "70" << 2 << true << false;
        QTest::newRow("clear can be undone") << "p 0,10 50,10; p 0,30 50,30; c; u"
                                             << "10 30" << 4 << true << true;
        QTest::newRow("a fresh pad forgets") << "p 0,10 50,10; c; n"
                                             << "" << 0 << false << false;
        QTest::newRow("eraser over nothing is no step") << "e 0,0 90,90"
                                                        << "" << 0 << false << false;
        QTest::newRow("taking the eraser ends the stroke") << "P 0,10 50,10; e 0,80"
                                                           << "10" << 2 << true << false;
    }

    void editingKeepsTheRightStrokes()
    {
        QFETCH(QString, script);
        QFETCH(QString, left);
        QFETCH(int, points);
        QFETCH(bool, canUndo);
        QFETCH(bool, canRedo);
        StrokeModel& model = *m_pad->model();
        play(model, script);
        QCOMPARE(summary(model.strokes()), left);
        QCOMPARE(model.pointCount(), points);
        QCOMPARE(model.canUndo(), canUndo);
        QCOMPARE(model.canRedo(), canRedo);
        // The scene draws what the model holds.
        QCOMPARE(m_pad->view()->strokeItems().size(), model.strokes().size());
        for (const Stroke& stroke : model.strokes()) {
            for (const QPointF& point : stroke)
                QVERIFY(std::isfinite(point.x()) && std::isfinite(point.y()));
        }
    }

    void padSendsStrokesAndReportsTheQelt_data()
    {
        QTest::addColumn<Strokes>("strokes");
        QTest::addColumn<bool>("pen");
        QTest::addColumn<int>("processing"); // fetches before the service has finished
        QTest::addColumn<QString>("latex");
        QTest::addColumn<QString>("status");
        QTest::newRow("mouse, one stroke")
            << Strokes{{{10, 10}, {20.5, 15.25}, {30, 12}}} << false << 0 << "strokes 1, points 3"
            << "completed";
        QTest::newRow("tablet pen, stroke and dot")
            << Strokes{{{10, 10}, {40, 40}}, {{60.5, 20.75}}} << true << 0 << "strokes 2, points 3"
            << "completed";
        QTest::newRow("finished after two fetches")
            << Strokes{{{5, 5}, {6, 9}}} << false << 2 << "strokes 1, points 2"
            << "completed";
        QTest::newRow("still processing after every fetch")
            << Strokes{{{5, 5}, {6, 9}}} << false << 99 << "strokes 1, points 2"
            << "processing";
    }

    void padSendsStrokesAndReportsTheQelt()
    {
        QFETCH(Strokes, strokes);
        QFETCH(bool, pen);
        QFETCH(int, processing);
        QFETCH(QString, latex);
        QFETCH(QString, status);
        m_account->processDrawingsFor(processing);
        QSignalSpy recognized(m_pad.get(), &QeltHandwriteFrame::qeltRecognized);
        QSignalSpy failed(m_pad.get(), &QeltHandwriteFrame::scanError);
        draw(strokes, pen);
        QCOMPARE(m_pad->model()->strokes(), strokes);

        click("scanButton");
        click("scanButton"); // one drawing at a time
        QVERIFY(m_pad->isScanning());
        QCOMPARE(m_pad->view()->strokeItems().first()->pen(), kDimmedPen);
        draw({{{300, 300}, {310, 310}}}); // the pad takes nothing while it scans
        QTRY_COMPARE(recognized.count(), 1);
        QVERIFY(!m_pad->isScanning() && failed.isEmpty());
        QCOMPARE(m_pad->model()->strokes(), strokes);
        QCOMPARE(m_pad->view()->strokeItems().first()->pen(), kDrawPen);
        for (const QGraphicsPathItem* item : m_pad->view()->strokeItems())
            QVERIFY(item->path().elementCount() >= 2); // a dot too is a line, so the pen shows it
        const auto qelt = recognized.first().first().value<ZorvaneQeltPtr>();
        QCOMPARE(qelt->latex, latex);
        QCOMPARE(qelt->status, status);

        const auto sent = m_service->requestsTo("/v1/qelts/strokes");
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first().header("Authorization"), QByteArray("Bearer t0k"));
        const QJsonObject shape = sent.first().json().value("strokes").toObject();
        QCOMPARE(shape.value("x").toArray().size(), strokes.size());
        for (int s = 0; s < strokes.size(); ++s) {
            for (int p = 0; p < strokes[s].size(); ++p) {
                QCOMPARE(shape["x"].toArray()[s].toArray()[p].toDouble(), strokes[s][p].x());
                QCOMPARE(shape["y"].toArray()[s].toArray()[p].toDouble(), strokes[s][p].y());
            }
        }
        QCOMPARE(m_service->requestsTo("/v1/qelts/" + qelt->id).size(), qMin(processing, 5));
    }

    void everyAnswerEndsInOneReport_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("outcome"); // signal or banner, and its text
        const QString generic = "Something went wrong, please try again or contact support@zorvane.com.";
        QTest::newRow("server error") << 0 << "scanError " + generic;
        QTest::newRow("error in a good answer") << 1 << "scanError scripted_failure\n";
        QTest::newRow("connection dropped") << 2 << "scanError " + generic;
        QTest::newRow("request limit") << 3 << "rateLimitError Too many drawings today";
        QTest::newRow("429 of another kind") << 4 << "scanError " + generic;
        QTest::newRow("nothing to read")
            << 5
            << "banner Nothing could be read in your drawing. Try writing larger "
               "and more clearly.";
        QTest::newRow("fetches fail: the made Qelt") << 6 << "qeltRecognized processing";
        QTest::newRow("connection refused") << 7 << "scanError " + generic;
    }

    void everyAnswerEndsInOneReport()
    {
        QFETCH(int, fault);
        QFETCH(QString, outcome);
        const auto limit = [](const char* id) {
            const QJsonObject error{{"id", id}, {"message", "Too many drawings today"}};
            return Reply::json(QJsonObject{{"errors", QJsonArray{error}}}, 429);
        };
        switch (fault) {
        case 0:
            m_account->failNext(AccountCall::Strokes, 1, 500);
            break;
        case 1:
            m_account->failNext(AccountCall::Strokes, 1, 200);
            break;
        case 2:
            m_account->closeNext(AccountCall::Strokes, 1);
            break;
        case 3:
            m_service->enqueue("POST", "/v1/qelts/strokes", limit("too_many_requests_day"));
            break;
        case 4:
            m_service->enqueue("POST", "/v1/qelts/strokes", limit("scripted_failure"));
            break;
        case 5: {
            FakeQelt empty;
            empty.id = "blank1";
            empty.createdAt = empty.modifiedAt = m_account->now();
            m_service->enqueue("POST", "/v1/qelts/strokes", Reply::json(empty.json(m_service->baseUrl())));
            break;
        }
        case 6:
            m_account->processDrawingsFor(3);
            m_account->failNext(AccountCall::Fetch, 5, 500);
            break;
        case 7: {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            utils::overrideBaseUrlsForTesting(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
            break;
        }
        }
        QSignalSpy recognized(m_pad.get(), &QeltHandwriteFrame::qeltRecognized);
        QSignalSpy failed(m_pad.get(), &QeltHandwriteFrame::scanError);
        QSignalSpy limited(m_pad.get(), &QeltHandwriteFrame::rateLimitError);
        draw({{{10, 10}, {20, 20}}});
        click("scanButton");
        QTRY_VERIFY(!m_pad->isScanning());
        QCoreApplication::processEvents(); // nothing more follows the first report

        QStringList reports;
        for (const auto& [name, spy] :
             {std::pair{"qeltRecognized", &recognized}, std::pair{"scanError", &failed},
              std::pair{"rateLimitError", &limited}}) {
            for (const QList<QVariant>& arguments : *spy) {
                const QVariant value = arguments.first();
                reports << QString(name) + " " +
                               (value.canConvert<QString>() ? value.toString()
                                                            : value.value<ZorvaneQeltPtr>()->status);
            }
        }
        if (!m_pad->errorText().isEmpty())
            reports << "banner " + m_pad->errorText();
        QCOMPARE(reports, QStringList{outcome});
        // Nothing drawn is lost, and the pad takes the pen again.
        QCOMPARE(m_pad->model()->strokes().size(), 1);
        QVERIFY(m_pad->view()->isInputEnabled());
        click("errorCloseButton");
        QVERIFY(m_pad->errorText().isEmpty());
    }

    void whatTheWindowCallsGivesAFreshPad()
    {
        QSignalSpy exited(m_pad.get(), &QeltHandwriteFrame::exit);
        QSignalSpy feedback(m_pad.get(), &QeltHandwriteFrame::sendFeedback);
        QVERIFY(child<QFrame>("errorFrame")->isHidden());
        click("scanButton"); // an empty pad sends nothing: its hint asks for a drawing
        auto* hint = child<AnimatedLabel>("hintLabel");
        QVERIFY(hint->isVisible());
        QCOMPARE(m_pad->findChild<QAbstractAnimation*>()->state(), QAbstractAnimation::Running);
        QCOMPARE(hint->backgroundColor().name() + hint->borderColor().name(), QString("#b6e7ff#3ab5ff"));

        // A long stroke under way is drawn whole, in pieces that join.
        Stroke wave;
        for (int i = 0; i < 100; ++i)
            wave.append(QPointF(10 + i * 3, 50 + i % 5));
        draw({wave}, false, false);
        Stroke drawn;
        for (QGraphicsPathItem* piece : m_pad->view()->currentItems()) {
            for (int e = drawn.isEmpty() ? 0 : 1; e < piece->path().elementCount(); ++e)
                drawn.append(piece->path().elementAt(e));
        }
        QCOMPARE(drawn, wave);
        QVERIFY(!hint->isVisible());
        point(2, wave.last(), false);
        QVERIFY(m_pad->view()->currentItems().isEmpty());
        click("eraseButton");
        QCOMPARE(m_pad->model()->tool(), StrokeModel::Tool::Eraser);
        QVERIFY(!child<QPushButton>("drawButton")->isChecked());
        draw({{{30, 0}, {30, 80}}});
        QVERIFY(m_pad->model()->isEmpty() && m_pad->model()->canUndo());
        click("undoButton");
        QCOMPARE(m_pad->view()->strokeItems().size(), 1);
        click("redoButton");
        QVERIFY(m_pad->model()->isEmpty() && !child<QPushButton>("redoButton")->isEnabled());

        m_pad->clear();
        m_pad->setDrawMode();
        QVERIFY(!m_pad->model()->canUndo() && !child<QPushButton>("undoButton")->isEnabled());
        QVERIFY(child<QPushButton>("drawButton")->isChecked());
        QCOMPARE(m_pad->model()->tool(), StrokeModel::Tool::Pen);
        click("exitButton");
        click("feedbackButton");
        QCOMPARE(exited.count() + feedback.count(), 2);
        QCOMPARE(m_service->requestCount(), 0);
    }

    void paperFollowsTheStoredChoice_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("shown");
        QTest::newRow("none") << QVariant() << 0;
        QTest::newRow("grid") << QVariant(2) << 2;
        QTest::newRow("out of range") << QVariant(7) << 0;
        QTest::newRow("not a number") << QVariant("grid") << 0;
    }

    void paperFollowsTheStoredChoice()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, shown);
        if (stored.isValid())
            QSettings().setValue("HandwriteBackground", stored);
        QeltHandwriteFrame pad(nullptr);
        QCOMPARE(pad.view()->backgroundKind(), shown);
        const char* buttons[] = {"dotsButton", "vLinesButton", "gridButton"};
        QVERIFY(pad.findChild<QPushButton*>(buttons[shown])->isChecked());
        QTest::mouseClick(pad.findChild<QPushButton*>(buttons[(shown + 1) % 3]), Qt::LeftButton);
        QCOMPARE(kKeyHandwriteBackground.get(), (shown + 1) % 3);
        QCOMPARE(pad.view()->backgroundKind(), (shown + 1) % 3);
    }
};

ZQ_TEST_MAIN(TestHandwrite)
#include "test_handwrite.moc"
