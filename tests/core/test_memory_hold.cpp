#include "core/MemoryHold.h"
#include "support/TestMain.h"

// When the memory of a capture's pictures is kept and when it goes back, over steps that count what the
// hold asks of the allocator.
class TestMemoryHold : public QObject
{
    Q_OBJECT

private slots:
    void memoryGoesBackOnceNoCaptureFollowsWithinTheDelay_data()
    {
        QTest::addColumn<QString>("steps"); // b: a capture begins, e: it ends; all in one pass of the loop
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("keeps");
        QTest::addColumn<int>("givesBack");
        const int never = zq::test::kWaitMs * 10;
        QTest::newRow("nothing held before a capture") << "" << 0 << 0 << 0;
        QTest::newRow("held while capturing") << "b" << 0 << 1 << 0;
        QTest::newRow("given back once the delay is over") << "be" << 0 << 1 << 1;
        QTest::newRow("not before") << "be" << never << 1 << 0;
        QTest::newRow("the next capture comes first") << "beb" << 0 << 1 << 0;
        QTest::newRow("two captures, one give-back") << "bebe" << 0 << 1 << 1;
        QTest::newRow("an end without a capture") << "e" << 0 << 0 << 0;
    }

    void memoryGoesBackOnceNoCaptureFollowsWithinTheDelay()
    {
        QFETCH(QString, steps);
        QFETCH(int, delayMs);
        QFETCH(int, keeps);
        QFETCH(int, givesBack);
        int kept = 0;
        int givenBack = 0;
        {
            MemoryHold hold([&](qint64) { ++kept; }, [&] { ++givenBack; });
            hold.setReleaseDelay(delayMs);
            for (const QChar step : steps)
                step == 'b' ? hold.hold(1 << 20) : hold.letGo();
            QCoreApplication::processEvents(); // runs the timers that are due
            QCOMPARE(kept, keeps);
            QCOMPARE(givenBack, givesBack);
            QCOMPARE(hold.isHolding(), keeps > givesBack);
        }
        // What is still held when the program ends goes back too.
        QCOMPARE(givenBack, kept);
    }
};

ZQ_TEST_MAIN(TestMemoryHold)
#include "test_memory_hold.moc"
