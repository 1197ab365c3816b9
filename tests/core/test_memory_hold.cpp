#include "core/MemoryHold.h"
#include "core/memory.h"
#include "support/ProcessTree.h"
#include "support/TestMain.h"

#include <QThreadPool>

#include <cstdlib>

#include <sys/resource.h>

namespace {

// The address sanitizer of either compiler brings its own allocator, which keeps no freed memory in place.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZQ_ASAN_ALLOCATOR
#endif
#endif
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(ZQ_ASAN_ALLOCATOR)
constexpr bool kCLibraryAllocator = true;
#else
constexpr bool kCLibraryAllocator = false;
#endif

// The process's own anonymous memory in the system's memory, without the code and files it maps.
qint64 residentAnonymousKiB()
{
    return zq::test::statusKiB(QCoreApplication::applicationPid(), "RssAnon");
}

long minorFaultsOfThisThread()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

} // namespace

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

    // The allocator's own memory, as a capture finds it and as the idle program keeps it: the next blocks
    // land where the pool's threads faulted the memory in, and writing them costs this thread no page fault;
    // freed, they stay resident for the next capture, and go back to the system once the hold lets go.
    void faultedInMemoryIsInPlaceForTheNextBlocks_data()
    {
        QTest::addColumn<int>("megabytes");
        QTest::addColumn<int>("blocks");
        QTest::newRow("one small screen's picture") << 8 << 1;
        QTest::newRow("a 4K screen's picture, its grey copy and the read buffer") << 102 << 3;
        QTest::newRow("two 4K screens, handed back after the idle minutes") << 204 << 6;
    }

    void faultedInMemoryIsInPlaceForTheNextBlocks()
    {
        if (!kCLibraryAllocator)
            QSKIP("the allocator is not the C library's");
        QFETCH(int, megabytes);
        QFETCH(int, blocks);
        const qint64 bytes = qint64(megabytes) * 1024 * 1024;
        const auto blockBytes = size_t(bytes / blocks - 1024 * 1024);
        const qint64 before = residentAnonymousKiB();
        MemoryHold hold; // the allocator's own steps
        hold.hold(bytes);
        QThreadPool::globalInstance()->waitForDone();
        const long faultsBefore = minorFaultsOfThisThread();
        QVector<char*> taken;
        for (int i = 0; i < blocks; ++i) {
            auto* block = static_cast<char*>(std::malloc(blockBytes));
            QVERIFY(block);
            for (size_t at = 0; at < blockBytes; at += 4096)
                block[at] = 1;
            taken.append(block);
        }
        const long faults = minorFaultsOfThisThread() - faultsBefore;
        for (char* block : taken)
            std::free(block);
        // Not in place, each page would fault: thousands.
        QVERIFY2(faults < 16, qPrintable(QStringLiteral("%1 page faults").arg(faults)));
        const qint64 usedKiB = qint64(blocks) * qint64(blockBytes) / 1024;
        const qint64 held = residentAnonymousKiB() - before;
        QVERIFY2(held >= usedKiB * 9 / 10, qPrintable(QStringLiteral("%1 KiB held").arg(held)));
        hold.setReleaseDelay(0);
        hold.letGo();
        QCoreApplication::processEvents(); // the delay is over
        QVERIFY(!hold.isHolding());
        const qint64 kept = residentAnonymousKiB() - before;
        QVERIFY2(kept < usedKiB / 10,
                 qPrintable(QStringLiteral("%1 KiB still resident of %2 KiB").arg(kept).arg(usedKiB)));
    }
};

ZQ_TEST_MAIN(TestMemoryHold)
#include "test_memory_hold.moc"
