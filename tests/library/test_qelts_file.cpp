#include "libraryTestSupport.h"

#include "library/QeltsContainer.h"
#include "library/savedFile.h"
#include "support/FailingDevice.h"
#include "support/TestMain.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using namespace zq::test;
using ReadResult = QeltsContainer::ReadResult;
Q_DECLARE_METATYPE(ReadResult)

// The per-user Qelts file and the container's two orders over the Qelts.
class TestQeltsFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static QByteArray goldenFile(const ZorvaneQelt& a, const ZorvaneQelt& b)
    {
        return be32(2) + qeltRecord(a) + qeltRecord(b);
    }

private slots:
    void savedFileFollowsLayoutInIdOrder()
    {
        const auto b = makeQelt("b", 100), a = makeQelt("a", 200);
        a->originalImageUrl = QStringLiteral("http://img/a/o.png");
        a->status = QStringLiteral("completed");
        QeltsContainer container(nullptr);
        container.insert(b, false);
        container.insert(a, false);
        const QString path = m_dir.filePath("qelts.dat");
        QVERIFY(container.save(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), goldenFile(*a, *b));

        QeltsContainer loaded(nullptr);
        QVERIFY(loaded.load(path));
        QCOMPARE(loaded.count(), 2);
        QCOMPARE(*loaded.find("a"), *a);
        QVERIFY(loaded.find("a")->status.isEmpty());
        QCOMPARE(loaded.first()->id, QStringLiteral("b"));
    }

    void readingDamagedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ReadResult>("result");
        QTest::addColumn<int>("count");
        const QByteArray good = goldenFile(*makeQelt("a", 10), *makeQelt("b", 20));
        auto noTime = makeQelt("c", 30);
        noTime->created_at = 0;
        QTest::newRow("version only") << be32(2) << ReadResult::Ok << 0;
        QTest::newRow("two records") << good << ReadResult::Ok << 2;
        QTest::newRow("empty") << QByteArray() << ReadResult::NoVersion << 0;
        QTest::newRow("version 1") << be32(1) + good.mid(4) << ReadResult::WrongVersion << 0;
        QTest::newRow("version 3") << be32(3) << ReadResult::WrongVersion << 0;
        QTest::newRow("last field cut") << good.chopped(1) << ReadResult::InvalidRecord << 0;
        QTest::newRow("cut inside a string") << good.left(10) << ReadResult::InvalidRecord << 0;
        QTest::newRow("zero created_at") << good + qeltRecord(*noTime) << ReadResult::InvalidRecord << 0;
        QTest::newRow("odd string length") << be32(2) + be32(3) + "abc" << ReadResult::InvalidRecord << 0;
    }

    void readingDamagedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(ReadResult, result);
        QFETCH(int, count);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QeltsContainer container(nullptr);
        QCOMPARE(container.read(&buffer), result);
        QCOMPARE(container.count(), count);
        QCOMPARE(int(container.all().size()), count);
    }

    void navigation_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("expected");
        // a and c share a creation time; b is newest.
        QTest::newRow("first by id on a tie") << "first"
                                              << ""
                                              << "a";
        QTest::newRow("last") << "last"
                              << ""
                              << "b";
        QTest::newRow("next across the tie") << "next"
                                             << "a"
                                             << "c";
        QTest::newRow("next of last stays") << "next"
                                            << "b"
                                            << "b";
        QTest::newRow("previous of first stays") << "previous"
                                                 << "a"
                                                 << "a";
        QTest::newRow("previous of null is first") << "previous"
                                                   << ""
                                                   << "a";
        QTest::newRow("next of null is first") << "next"
                                               << ""
                                               << "a";
        QTest::newRow("previous") << "previous"
                                  << "b"
                                  << "c";
        QTest::newRow("unknown stays") << "next"
                                       << "zz"
                                       << "zz";
    }

    void navigation()
    {
        QFETCH(QString, op);
        QFETCH(QString, from);
        QFETCH(QString, expected);
        QeltsContainer container(nullptr);
        for (const auto& q : {makeQelt("c", 10), makeQelt("b", 20), makeQelt("a", 10)})
            container.insert(q, false);
        const ZorvaneQeltPtr start = from.isEmpty()         ? nullptr
                                     : container.find(from) ? container.find(from)
                                                            : makeQelt(from, 15);
        const ZorvaneQeltPtr result = op == "first"  ? container.first()
                                      : op == "last" ? container.last()
                                      : op == "next" ? container.next(start)
                                                     : container.previous(start);
        QCOMPARE(result->id, expected);
    }

    void positionsAndEmptyContainer()
    {
        QeltsContainer container(nullptr);
        QVERIFY(!container.next(nullptr) && !container.previous(nullptr) && !container.first());
        for (const auto& q : {makeQelt("c", 10), makeQelt("b", 20), makeQelt("a", 10)})
            container.insert(q, false);
        QCOMPARE(container.indexOf("c", 10), std::make_pair(1, 3));
        QCOMPARE(container.indexOf("unknown", 10), std::make_pair(0, 3));
        QCOMPARE(container.indexOf("c", 11), std::make_pair(0, 3));
        QVERIFY(!container.find(QString()));
    }

    void knownIdWithOtherTimeLeavesNoGhost()
    {
        QeltsContainer container(nullptr);
        const auto first = makeQelt("a", 10);
        container.insert(first, false);
        container.insert(makeQelt("a", 99, "other"), false);
        QCOMPARE(container.find("a"), first);
        QCOMPARE(int(container.all().size()), 1);
        container.remove("a", 99, false);
        QCOMPARE(container.count(), 0);
        QVERIFY(container.all().empty() && !container.last());
    }

    void failedWriteKeepsPreviousFile_data()
    {
        QTest::addColumn<int>("failAt");
        QTest::newRow("before the version") << 0;
        QTest::newRow("inside the version") << 2;
        QTest::newRow("inside a record") << 40;
    }

    void failedWriteKeepsPreviousFile()
    {
        QFETCH(int, failAt);
        QeltsContainer container(nullptr);
        container.insert(makeQelt("a", 10), false);
        FailingDevice device(failAt);
        QVERIFY(!container.write(&device));

        const QString path = m_dir.filePath("kept.dat");
        QVERIFY(container.save(path));
        container.insert(makeQelt("b", 20), false);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^\\[QeltsContainer\\] Failed to write qelts list"));
        QVERIFY(!utils::saveFile(
            path,
            [&](QIODevice* file) {
                FailingDevice cut(failAt);
                container.write(&cut);
                file->write(cut.written());
                return false;
            },
            "[QeltsContainer]", "qelts list"));
        QeltsContainer reloaded(nullptr);
        QVERIFY(reloaded.load(path));
        QCOMPARE(reloaded.count(), 1);
        QCOMPARE(QDir(m_dir.path()).entryList({"kept.dat*"}, QDir::Files), QStringList{"kept.dat"});
    }

    void killDuringSaveLeavesLoadableFile()
    {
        const QString path = m_dir.filePath("killed.dat");
        QeltsContainer before(nullptr);
        before.insert(makeQelt("a", 10), false);
        QVERIFY(before.save(path));
        QProcess child;
        child.start(qEnvironmentVariable("ZQ_SAVE_CHILD"), {path});
        QVERIFY(child.waitForStarted());
        // The child saves without pause once it has said so: the kill lands in some save.
        QTRY_VERIFY_WITH_TIMEOUT(child.bytesAvailable() > 0 || child.waitForReadyRead(100), 20000);
        child.kill();
        QVERIFY(child.waitForFinished());
        QeltsContainer after(nullptr);
        QVERIFY(after.load(path));
        QVERIFY(after.count() == 1 || after.count() == 20000);
    }
};

ZQ_TEST_MAIN(TestQeltsFile)
#include "test_qelts_file.moc"
