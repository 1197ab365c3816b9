#include "libraryTestSupport.h"

#include "library/QeltsContainer.h"
#include "library/savedFile.h"
#include "support/FailingDevice.h"
#include "support/TestMain.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace zq::test;
using ReadResult = QeltsContainer::ReadResult;
Q_DECLARE_METATYPE(ReadResult)

// The per-user Qelts file and the container's two orders over the Qelts.
class TestQeltsFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void savedFileFollowsLayoutInIdOrder()
    {
        const auto b = makeQelt("b", 100), a = makeQelt("a", 200);
        a->originalImageUrl = QStringLiteral("http://img/a/o.png");
        a->status = QStringLiteral("completed"); // not stored
        QeltsContainer container(nullptr);
        container.insert(b, false);
        container.insert(a, false);
        const QString path = m_dir.filePath("qelts.dat");
        QVERIFY(container.save(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), fields(qint32(2)) + qeltRecord(*a) + qeltRecord(*b));
        QeltsContainer loaded(nullptr);
        QVERIFY(loaded.load(path));
        QCOMPARE(loaded.count(), 2);
        QCOMPARE(*loaded.find("a"), *a);
    }

    void readingDamagedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ReadResult>("result");
        QTest::addColumn<int>("kept"); // records read before the damage
        const QByteArray good = fields(qint32(2)) + qeltRecord(*makeQelt("a", 10));
        const QByteArray next = qeltRecord(*makeQelt("b", 20));
        auto noTime = makeQelt("c", 30);
        noTime->created_at = 0;
        QTest::newRow("version only") << fields(qint32(2)) << ReadResult::Ok << 0;
        QTest::newRow("empty") << QByteArray() << ReadResult::NoVersion << 0;
        QTest::newRow("version 3") << fields(qint32(3)) + good.mid(4) << ReadResult::WrongVersion << 0;
        QTest::newRow("last field cut") << good.chopped(1) << ReadResult::InvalidRecord << 0;
        QTest::newRow("zero created_at")
            << good + qeltRecord(*noTime) + next << ReadResult::InvalidRecord << 1;
        QTest::newRow("second record cut") << good + next.left(30) << ReadResult::InvalidRecord << 1;
        QTest::newRow("odd string length")
            << fields(qint32(2), quint32(3)) + "abc" << ReadResult::InvalidRecord << 0;
    }

    void readingDamagedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(ReadResult, result);
        QFETCH(int, kept);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QeltsContainer container(nullptr);
        QCOMPARE(container.read(&buffer), result);
        QCOMPARE(container.count(), kept);
        if (kept)
            QCOMPARE(*container.first(), *makeQelt("a", 10));
    }

    void navigation_data()
    {
        // "operation, start (- for none), expected"; a and c share a creation time, b is newest.
        QTest::addColumn<QString>("step");
        QTest::newRow("first by id on a tie") << "first - a";
        QTest::newRow("last") << "last - b";
        QTest::newRow("next across the tie") << "next a c";
        QTest::newRow("next of last stays") << "next b b";
        QTest::newRow("previous of first stays") << "previous a a";
        QTest::newRow("previous of none is first") << "previous - a";
        QTest::newRow("next of none is first") << "next - a";
        QTest::newRow("previous") << "previous b c";
        QTest::newRow("unknown stays") << "next zz zz";
        QTest::newRow("position") << "indexOf c 1";
        QTest::newRow("position of unknown") << "indexOf zz 0";
        QTest::newRow("removed by its stored time") << "removeFirst a c";
    }

    void navigation()
    {
        QFETCH(QString, step);
        const QStringList parts = step.split(' ');
        QeltsContainer container(nullptr);
        QVERIFY(!container.next(nullptr) && !container.previous(nullptr) && !container.last());
        // A known id with another time must leave no second entry in the date order.
        for (const auto& q : {makeQelt("c", 10), makeQelt("b", 20), makeQelt("a", 10), makeQelt("a", 99)})
            container.insert(q, false);
        const ZorvaneQeltPtr start = parts[1] == "-"            ? nullptr
                                     : container.find(parts[1]) ? container.find(parts[1])
                                                                : makeQelt(parts[1], 10);
        if (parts[0] == "indexOf") {
            QCOMPARE(container.indexOf(start->id, start->created_at), std::make_pair(parts[2].toInt(), 3));
            return;
        }
        if (parts[0] == "removeFirst")
            container.remove(parts[1], 99, false);
        const ZorvaneQeltPtr result = parts[0] != "last" && parts[0] != "next" && parts[0] != "previous"
                                          ? container.first()
                                      : parts[0] == "last" ? container.last()
                                      : parts[0] == "next" ? container.next(start)
                                                           : container.previous(start);
        QCOMPARE(result->id, parts[2]);
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
        const QString path = m_dir.filePath("kept.dat");
        QeltsContainer container(nullptr);
        container.insert(makeQelt("a", 10), false);
        QVERIFY(container.save(path));
        container.insert(makeQelt("b", 20), false);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^\\[QeltsContainer\\] Failed to write qelts list"));
        // The disk fills up at failAt: the stream must notice, and the file on disk must not change.
        const auto fillDisk = [&](QIODevice* file) {
            FailingDevice disk(failAt);
            const bool written = container.write(&disk);
            file->write(disk.written());
            return written;
        };
        QVERIFY(!utils::saveFile(path, fillDisk, "[QeltsContainer]", "qelts list"));
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
        child.start(QCoreApplication::applicationFilePath(), {"--save-forever", path});
        QVERIFY(child.waitForStarted());
        // The child saves without pause once it has said so: the kill lands in some save.
        QVERIFY(child.waitForReadyRead(kWaitMs));
        child.kill();
        QVERIFY(child.waitForFinished());
        QeltsContainer after(nullptr);
        QVERIFY(after.load(path));
        QVERIFY(after.count() == 1 || after.count() == 20000);
    }
};

// With "--save-forever PATH": the child that the kill test stops mid-save.
static int saveForever(const QString& path)
{
    QeltsContainer container(nullptr);
    for (int i = 0; i < 20000; ++i)
        container.insert(makeQelt(QString::number(i), 100 + i, QString(200, 't')), false);
    std::puts("saving");
    std::fflush(stdout);
    for (;;)
        container.save(path);
}

#define main testMain
ZQ_TEST_MAIN(TestQeltsFile)
#undef main
int main(int argc, char* argv[])
{
    return argc == 3 && qstrcmp(argv[1], "--save-forever") == 0 ? saveForever(argv[2]) : testMain(argc, argv);
}
#include "test_qelts_file.moc"
