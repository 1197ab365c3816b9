// The view page's parts that need no page: sizes, scroll positions, the editor page's formats, and saved
// image names.

#include "core/files.h"
#include "support/TestMain.h"
#include "view/page/savedImages.h"
#include "view/page/viewGeometry.h"
#include "view/render/PageFormats.h"

#include <QDir>
#include <QRegularExpression>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <functional>
#include <thread>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

namespace {

// Runs `work` on a thread of its own whose renames without replacing the kernel refuses with `refusal`:
// EINVAL as a file system without them answers, ENOSYS as a kernel without the call (which the C library
// may pass on as EINVAL). False when the thread could not be set up so.
bool runWithNoReplaceRefused(int refusal, const std::function<void()>& work)
{
    bool refused = false;
    std::thread thread([&] {
        sock_filter program[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_renameat2, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (refusal & SECCOMP_RET_DATA)),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog filter{sizeof program / sizeof *program, program};
        // Both hold for this thread alone, and end with it.
        refused = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
                  ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
        if (refused)
            work();
    });
    thread.join();
    return refused;
}

} // namespace

class TestViewPageParts : public QObject
{
    Q_OBJECT

private slots:
    void contentSizes_data()
    {
        QTest::addColumn<ContentInfo>("info");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("pad");
        QTest::addColumn<int>("room"); // what the window can give the view
        QTest::addColumn<int>("view");
        // A screen 1000 px wide, the page's 16 px font: width + 42, height + 16, 100 to 500 px high; the
        // view itself takes the content and its margin, the padding stays around it.
        QTest::newRow("short content is padded")
            << ContentInfo{false, 300, 40} << QSize(342, 100) << 22 << 900 << 56;
        QTest::newRow("odd padding rounds down")
            << ContentInfo{false, 300, 41} << QSize(342, 100) << 21 << 900 << 58;
        QTest::newRow("tall content is held")
            << ContentInfo{false, 300, 900} << QSize(342, 500) << 0 << 900 << 500;
        QTest::newRow("exactly the least height")
            << ContentInfo{false, 0, 84} << QSize(42, 100) << 0 << 900 << 100;
        QTest::newRow("wide content keeps off the screen's edge")
            << ContentInfo{false, 5000, 200} << QSize(900, 216) << 0 << 900 << 216;
        QTest::newRow("the largest report")
            << ContentInfo{false, INT_MAX, INT_MAX} << QSize(900, 500) << 0 << 900 << 500;
        QTest::newRow("error") << ContentInfo{true, 0, 0} << QSize(480, 80) << 0 << 900 << 80;
        QTest::newRow("more than the window has room for")
            << ContentInfo{false, 300, 400} << QSize(342, 416) << 0 << 300 << 300;
        QTest::newRow("a window with no room left")
            << ContentInfo{false, 300, 40} << QSize(342, 100) << 22 << -50 << 0;
    }

    void contentSizes()
    {
        QFETCH(ContentInfo, info);
        QFETCH(QSize, size);
        QFETCH(int, pad);
        QFETCH(int, room);
        QFETCH(int, view);
        const viewGeometry::ContentSizing sizing = viewGeometry::contentSizing(info, 1000, 16);
        QCOMPARE(sizing.size, size);
        QCOMPARE(sizing.pad, pad);
        QCOMPARE(viewGeometry::viewHeight(sizing, room), view);
    }

    void scrollPositionsAndRings_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("scroll");
        QTest::addColumn<int>("wrapped");
        QTest::newRow("first of five") << 0 << 5 << 100 << 0 << 0;
        QTest::newRow("third of five") << 2 << 5 << 100 << 50 << 2;
        QTest::newRow("truncated") << 1 << 4 << 100 << 33 << 1;
        QTest::newRow("last of five") << 4 << 5 << 100 << 100 << 4;
        QTest::newRow("past the end wraps") << 5 << 5 << 100 << 125 << 0;
        QTest::newRow("before the start wraps") << -1 << 5 << 100 << -25 << 4;
        QTest::newRow("one entry") << 0 << 1 << 100 << 0 << 0;
        QTest::newRow("no entries") << 0 << 0 << 100 << 0 << -1;
    }

    void scrollPositionsAndRings()
    {
        QFETCH(int, index);
        QFETCH(int, count);
        QFETCH(int, maximum);
        QFETCH(int, scroll);
        QFETCH(int, wrapped);
        QCOMPARE(viewGeometry::scrollValueFor(index, count, maximum), scroll);
        QCOMPARE(viewGeometry::wrap(index, count), wrapped);
    }

    void formatsAreSortedByType_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("mathml");
        QTest::addColumn<QStringList>("inchi");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<bool>("onlySmiles");
        QTest::newRow("in the page's order")
            << QByteArray(R"({"formats":[{"type":"mathml","value":"a"},{"type":"inchi","value":"i"},)"
                          R"({"type":"mathml","value":"b"}]})")
            << QStringList{"a", "b"} << QStringList{"i"} << false << false;
        QTest::newRow("empty values and unknown types make nothing")
            << QByteArray(R"({"formats":[{"type":"inchi","value":""},{"type":"latex","value":"x"},)"
                          R"({"type":"mathml"},{"value":"v"},7,{"type":"smiles","value":"CCO"}]})")
            << QStringList() << QStringList() << false << true;
        QTest::newRow("no array") << QByteArray(R"({"formats":{"type":"mathml","value":"a"}})")
                                  << QStringList() << QStringList() << true << true;
        QTest::newRow("values that are not strings")
            << QByteArray(R"({"formats":[{"type":"mathml","value":5},{"type":["inchi"],"value":"i"}]})")
            << QStringList() << QStringList() << true << true;
    }

    void formatsAreSortedByType()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, mathml);
        QFETCH(QStringList, inchi);
        QFETCH(bool, empty);
        QFETCH(bool, onlySmiles);
        const PageFormats formats = PageFormats::fromReply(QJsonDocument::fromJson(reply).object());
        QCOMPARE(formats.mathml, mathml);
        QCOMPARE(formats.inchi, inchi);
        QCOMPARE(formats.isEmpty(), empty);
        QCOMPARE(formats.onlySmiles(), onlySmiles);
        QCOMPARE(PageFormats::first(formats.mathml), mathml.value(0));
    }

    // The DOCX group always, the CSV action only with CSV values, every other group with its values,
    // and none of a format the user turned off.
    void dataGroupsFollowFormatsAndChoices()
    {
        PageFormats formats;
        formats.mathml = QStringList{"m1", "m2"};
        formats.tsv = QStringList{"t"};
        formats.csv = QStringList{"c"};
        const auto all = [](const QString&) { return true; };
        QCOMPARE(formats.dataGroups("Open DOCX", "Export CSV", all),
                 (QList<QStringList>{{"Open DOCX"}, {"Export CSV"}, {}, {"m1", "m2"}, {}, {}, {}, {"t"}}));
        const auto noCsvOrMathml = [](const QString& name) { return name != "csv" && name != "mathml"; };
        QCOMPARE(formats.dataGroups("Open DOCX", "Export CSV", noCsvOrMathml),
                 (QList<QStringList>{{"Open DOCX"}, {}, {}, {}, {}, {}, {}, {"t"}}));
        QCOMPARE(PageFormats().dataGroups("D", "C", all),
                 (QList<QStringList>{{"D"}, {}, {}, {}, {}, {}, {}, {}}));
    }

    void savedImageNames_data()
    {
        QTest::addColumn<int>("fileType");
        QTest::addColumn<QString>("planted"); // what has the second name: a file, one made just before
                                              // the image is moved into place, or a link to no file
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("third");
        QTest::addColumn<int>("refusal"); // of the rename that never replaces, when not 0
        const QString png = "zorvane 2024-03-05 07-08-09.png";
        const QString png1 = "zorvane 2024-03-05 07-08-09-(1).png";
        const QString png2 = "zorvane 2024-03-05 07-08-09-(1)-(2).png";
        QTest::newRow("png") << 0 << "file" << png << png1 << png2 << 0;
        QTest::newRow("tiff") << 1 << "file"
                              << "zorvane 2024-03-05 07-08-09.tiff"
                              << "zorvane 2024-03-05 07-08-09-(1).tiff"
                              << "zorvane 2024-03-05 07-08-09-(1)-(2).tiff" << 0;
        QTest::newRow("made just before the move") << 0 << "late file" << png << png1 << png2 << 0;
        QTest::newRow("a link to no file") << 0 << "link" << png << png1 << png2 << 0;
        QTest::newRow("file system without the no-replace rename")
            << 0 << "file" << png << png1 << png2 << EINVAL;
        QTest::newRow("kernel without it, made just before the move")
            << 0 << "late file" << png << png1 << png2 << ENOSYS;
        QTest::newRow("file system without it, a link to no file")
            << 0 << "link" << png << png1 << png2 << EINVAL;
    }

    // Saves within one second take the next names, and what has a name is never written over or through.
    void savedImageNames()
    {
        QFETCH(int, fileType);
        QFETCH(QString, planted);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, third);
        QFETCH(int, refusal);
        QTemporaryDir dir;
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::blue);
        const QString name =
            savedImages::firstName(dir.path(), QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)), fileType);
        QCOMPARE(name, dir.filePath(first));
        // Each save as a whole meets the refusal: the first name is as much the fallback's work as the rest.
        const auto save = [&image, &name, refusal] {
            QString saved;
            const auto work = [&] { saved = savedImages::saveUnder(image, name); };
            if (refusal == 0)
                work();
            else if (!runWithNoReplaceRefused(refusal, work))
                saved = "no refusing thread";
            return saved;
        };
        QCOMPARE(save(), dir.filePath(first));
        const QString others = dir.filePath(second);
        const QString nowhere = dir.filePath("nowhere.png");
        const auto plant = [others] {
            QFile other(others);
            if (other.open(QIODevice::NewOnly))
                other.write("someone else's");
        };
        if (planted == "file")
            plant();
        else if (planted == "link")
            QVERIFY(QFile::link(nowhere, others));
        else
            utils::setBeforeRenameForTesting([others, plant](const QString& to) {
                if (to == others)
                    plant();
            });
        const QString saved = save();
        utils::setBeforeRenameForTesting({});
        QCOMPARE(saved, dir.filePath(third));
        QCOMPARE(QImage(dir.filePath(third)).pixelColor(0, 0), QColor(Qt::blue));
        if (planted == "link") {
            QCOMPARE(QFileInfo(others).symLinkTarget(), nowhere);
            QVERIFY(!QFileInfo::exists(nowhere));
        } else {
            QFile other(others);
            QVERIFY(other.open(QIODevice::ReadOnly));
            QCOMPARE(other.readAll(), QByteArray("someone else's"));
        }
        // Nothing left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 3);
    }

    void savingFailsWithoutOverwriting_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("every name taken") << "taken";
        QTest::newRow("no such folder") << "folder";
        QTest::newRow("no image") << "null";
    }

    void savingFailsWithoutOverwriting()
    {
        QFETCH(QString, failure);
        QTemporaryDir dir;
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QString name = dir.filePath("zorvane.png");
        if (failure == "taken") {
            // Each name is longer than the one before: the file system's limit on a name comes first.
            QString candidate = name;
            int taken = 0;
            for (int counter = 0; counter <= savedImages::kMaxRenames; ++counter, ++taken) {
                if (counter > 0)
                    candidate = savedImages::nextCandidate(candidate, counter);
                if (!QFile(candidate).open(QIODevice::WriteOnly))
                    break;
            }
            QVERIFY(taken > 10);
        } else if (failure == "folder") {
            name = dir.filePath("missing/zorvane.png");
        } else {
            image = QImage();
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[QeltViewFrame::SaveImage\\] "));
        QCOMPARE(savedImages::saveUnder(image, name), QString());
        QDir folder(dir.path());
        for (const QFileInfo& file : folder.entryInfoList(QDir::Files | QDir::Hidden))
            QCOMPARE(file.size(), 0); // every taken name still empty, no temporary file left
    }
};

ZQ_TEST_MAIN(TestViewPageParts)
#include "test_view_page_parts.moc"
