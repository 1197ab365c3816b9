// The library's files and image decoding: loading and saving (through QSaveFile, as the product does)
// a Qelts file and an image index of 100,000 entries against a bare QDataStream read or write of the
// same fields in a plain file, and decoding 1,000 PNG files through the image cache with its 10
// threads against one, and the start's clean-up of an image folder of 30,000 files that the index names
// against reading the index and listing the folder alone. Prints the timings and the ratios; each
// figure is the best of several rounds.

#include "library/ImageCache.h"
#include "library/QeltImageRecord.h"
#include "library/QeltsContainer.h"
#include "library/QeltsImageController.h"
#include "library/imageFiles.h"
#include "library/savedFile.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr int kRecords = 100000;
constexpr int kRounds = 5;
constexpr int kImages = 1000;

double bestOf(const std::function<void()>& run)
{
    double best = std::numeric_limits<double>::max();
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

void report(const char* what, double ours, double baseline, double goal)
{
    const double ratio = ours / baseline;
    std::printf("%-30s %9.1f ms   baseline %9.1f ms   ratio %.2f (goal <= %.2f)%s\n", what, ours, baseline,
                ratio, goal, ratio <= goal ? "" : "   ABOVE GOAL");
}

// The bare form: the same fields streamed straight to or from a plain file.
template <typename Body> void bareStream(const QString& path, QIODevice::OpenMode mode, Body body)
{
    QFile file(path);
    file.open(mode);
    QDataStream stream(&file);
    stream.setVersion(QDataStream::Qt_5_15);
    body(stream);
}

void benchQeltsFile(const QString& folder)
{
    QeltsContainer container(nullptr);
    for (int i = 0; i < kRecords; ++i) {
        auto qelt = std::make_shared<ZorvaneQelt>(
            QStringLiteral("2024_03_01_%1").arg(i, 20, 16, QLatin1Char('0')), 1700000000 + i, 1700000000 + i);
        qelt->latex = QStringLiteral("\\frac{%1}{x^2+1}").arg(i);
        qelt->text = QStringLiteral("The value is $\\frac{%1}{x^2+1}$ for all x.").arg(i);
        qelt->renderedImageUrl = QStringLiteral("https://cdn.example/%1.png").arg(i);
        container.insert(qelt, false);
    }
    const std::vector<ZorvaneQeltPtr> all = container.all();
    const QString path = folder + "/qelts.dat", barePath = folder + "/bare.dat";
    const double save = bestOf([&] { container.save(path); });
    const double bareSave = bestOf([&] {
        bareStream(barePath, QIODevice::WriteOnly, [&](QDataStream& out) {
            out << qint32(2);
            for (const ZorvaneQeltPtr& q : all)
                out << q->id << q->latex << q->text << q->confidence << q->modified_at << q->created_at
                    << q->originalImageUrl << q->renderedImageUrl;
        });
    });
    report("Qelts file save", save, bareSave, 1.5);
    // The same bytes without the commit: what is left is the temporary file, its fsync and the rename.
    const double writeOnly = bestOf([&] {
        QFile file(path + ".plain");
        file.open(QIODevice::WriteOnly);
        container.write(&file);
    });
    report("Qelts file write, no commit", writeOnly, bareSave, 1.5);
    QeltsContainer loaded(nullptr);
    const double load = bestOf([&] { loaded.load(path); });
    const double bareLoad = bestOf([&] {
        std::vector<ZorvaneQeltPtr> records;
        bareStream(barePath, QIODevice::ReadOnly, [&](QDataStream& in) {
            qint32 version;
            in >> version;
            while (!in.atEnd()) {
                auto q = std::make_shared<ZorvaneQelt>();
                in >> q->id >> q->latex >> q->text >> q->confidence >> q->modified_at >> q->created_at >>
                    q->originalImageUrl >> q->renderedImageUrl;
                records.push_back(q);
            }
        });
    });
    report("Qelts file load", load, bareLoad, 1.5);
}

void benchImageIndex(const QString& folder)
{
    QeltImageIndex index;
    for (int i = 0; i < kRecords; ++i) {
        const QString name = QStringLiteral("%1/images/%2.png").arg(folder).arg(i, 32, 16, QLatin1Char('0'));
        QeltImageRecord record;
        record.renderedList = {name, QSize(300, 150)};
        record.originalList = {name, QSize(300, 120)};
        record.originalFull = {name, QSize(1200, 480)};
        record.originalUrl = QStringLiteral("https://cdn.example/o/%1.jpg").arg(i);
        record.renderedUrl = QStringLiteral("https://cdn.example/r/%1.png").arg(i);
        index.insert(QString::number(i, 36), record);
    }
    const QString path = folder + "/images.dat", barePath = folder + "/bare-images.dat";
    const double save = bestOf([&] {
        utils::saveFile(
            path, [&](QIODevice* device) { return imageIndexFile::write(device, index); }, "[bench]",
            "index");
    });
    const auto bareEntry = [](QDataStream& out, const ImageEntry& e) {
        out << e.file << qint32(e.size.width()) << qint32(e.size.height());
    };
    const double bareSave = bestOf([&] {
        bareStream(barePath, QIODevice::WriteOnly, [&](QDataStream& out) {
            out << qint32(1);
            for (auto it = index.constBegin(); it != index.constEnd(); ++it) {
                out << it.key();
                bareEntry(out, it->renderedList);
                bareEntry(out, it->originalList);
                bareEntry(out, it->originalFull);
                out << it->originalUrl << it->renderedUrl;
            }
        });
    });
    report("Image index save", save, bareSave, 1.5);
    const double load = bestOf([&] {
        QeltImageIndex read;
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        imageIndexFile::read(&file, read, folder + QStringLiteral("/images"));
    });
    const double bareLoad = bestOf([&] {
        QHash<QString, QeltImageRecord> read;
        bareStream(barePath, QIODevice::ReadOnly, [&](QDataStream& in) {
            qint32 version, w, h;
            in >> version;
            while (!in.atEnd()) {
                QString id;
                QeltImageRecord r;
                in >> id;
                for (ImageEntry* e : {&r.renderedList, &r.originalList, &r.originalFull}) {
                    in >> e->file >> w >> h;
                    e->size = QSize(w, h);
                }
                in >> r.originalUrl >> r.renderedUrl;
                read.insert(id, r);
            }
        });
    });
    report("Image index load", load, bareLoad, 1.5);
}

void benchDecoding(const QString& folder)
{
    QStringList paths;
    QImage image(320, 160, QImage::Format_RGB32);
    for (int i = 0; i < kImages; ++i) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * i) & 255, (y + i) & 255, (x ^ y) & 255));
        paths << QStringLiteral("%1/%2.png").arg(folder).arg(i);
        image.save(paths.last());
    }
    const auto decodeAll = [&paths](int threads) {
        ImageCache cache(threads);
        for (const QString& path : paths)
            cache.get(path, path);
        cache.waitForLoaders();
    };
    const double pooled = bestOf([&] { decodeAll(ImageCache::kMaxThreads); });
    const double single = bestOf([&] { decodeAll(1); });
    std::printf("%-30s %9.1f ms   one thread %9.1f ms   speed-up %.2fx (%d threads available)\n",
                "Image cache, 1000 PNGs", pooled, single, single / pooled, QThread::idealThreadCount());
}

// Every stored path is matched against the listing as a cleaned absolute path.
void benchCleanUp()
{
    constexpr int kRecordsNamed = 10000;
    const QString images = utils::imagesFolder();
    QeltImageIndex index;
    for (int i = 0; i < kRecordsNamed; ++i) {
        QeltImageRecord record;
        for (ImageEntry* entry : {&record.renderedList, &record.originalList, &record.originalFull}) {
            const QString path = utils::newImagePath();
            QFile(path).open(QIODevice::WriteOnly);
            *entry = {path, QSize(300, 150)};
        }
        index.insert(QString::number(i), record);
    }
    QFile file(QeltsImageController::indexFilePath());
    file.open(QIODevice::WriteOnly);
    imageIndexFile::write(&file, index);
    file.close();
    QeltsImageController controller;
    const double ours = bestOf([&] { controller.loadIndex(); });
    const double baseline = bestOf([&] {
        QeltImageIndex read;
        QFile stored(QeltsImageController::indexFilePath());
        stored.open(QIODevice::ReadOnly);
        imageIndexFile::read(&stored, read, images);
        QDir(images).entryInfoList({QStringLiteral("*.png")}, QDir::Files | QDir::NoSymLinks | QDir::Hidden);
    });
    report("Start clean-up, 30000 files", ours, baseline, 2.0);
    if (controller.index().size() != kRecordsNamed || QDir(images).count() < 3 * kRecordsNamed)
        std::printf("   clean-up lost files it should keep\n");
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    QCoreApplication app(argc, argv);
    zq::test::prepareApplication();
    QTemporaryDir folder;
    benchQeltsFile(folder.path());
    benchImageIndex(folder.path());
    benchDecoding(folder.path());
    benchCleanUp();
    return 0;
}
