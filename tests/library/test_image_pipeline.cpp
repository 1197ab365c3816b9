#include "libraryTestSupport.h"

#include "api/APIHandler.h"
#include "core/identity.h"
#include "core/paths.h"
#include "library/ImageCache.h"
#include "library/ImageDownloader.h"
#include "library/QeltsImageController.h"
#include "library/imageFiles.h"
#include "library/libraryMetaTypes.h"
#include "support/FakeService.h"
#include "support/SilentService.h"
#include "support/TestMain.h"
#include "support/pictures.h"
#include "support/streams.h"

#include <QBuffer>
#include <QDir>
#include <QMutex>
#include <QScopeGuard>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace zq::test;
Q_DECLARE_METATYPE(zq::test::Reply)

namespace {

QStringList g_warnings;
QtMessageHandler g_previousHandler = nullptr;

void recordWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
    g_previousHandler(type, context, message);
}

// A named pipe: a loader reading it waits until the test writes the picture, so the test decides
// when a load ends.
QString makeHeldFile(const QTemporaryDir& dir)
{
    const QString path = dir.filePath("held.png");
    return mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
}

} // namespace

// Image files from the service to the disk, the index of them, and decoding them for the gallery.
class TestImagePipeline : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeService> m_service;

    QString url(const QString& path) const { return m_service->baseUrl() + path; }

    static QByteArray entry(const QString& file, int w, int h) { return fields(file, qint32(w), qint32(h)); }

    // Ends the load of a held file, once its loader has opened it.
    static void feed(const QString& held)
    {
        // Encoded first: the loader holds the image plugins' lock while it waits for the bytes.
        const QByteArray bytes = png(8, 4);
        int fd = -1;
        // Opened once: the macro evaluates its condition again after the wait.
        QTRY_VERIFY(fd >= 0 ||
                    (fd = ::open(QFile::encodeName(held).constData(), O_WRONLY | O_NONBLOCK)) >= 0);
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        ::close(fd);
    }

private slots:
    void initTestCase() { utils::registerLibraryMetaTypes(); }

    void init()
    {
        m_service = std::make_unique<FakeService>();
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        galleryCardWidth = 300;
    }

    void cleanup() { APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt); }

    void downloadOutcomes_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QList<QSize>>("written");
        QTest::addColumn<QString>("address"); // else the service's
        QTest::newRow("png") << Reply::raw(png(100, 50), "image/png") << QList<QSize>{{300, 150}, {100, 50}}
                             << QString();
        QTest::newRow("slow png") << Reply::raw(png(300, 900)).withDelay(300)
                                  << QList<QSize>{{100, 300}, {300, 900}} << QString();
        QTest::newRow("404 dropped") << Reply::text(404) << QList<QSize>{} << QString();
        QTest::newRow("500 retried") << Reply::text(500) << QList<QSize>{} << QString();
        QTest::newRow("garbage retried") << Reply::raw("not an image") << QList<QSize>{} << QString();
        QTest::newRow("a file never read") << Reply::text(404) << QList<QSize>{} << "file://%1";
        QTest::newRow("no host") << Reply::text(404) << QList<QSize>{} << "http:%1";
    }

    void downloadOutcomes()
    {
        QFETCH(Reply, reply);
        QFETCH(QList<QSize>, written);
        QFETCH(QString, address);
        const bool retried = written.isEmpty() && reply.status != 404 && reply.status != 410;
        m_service->on("GET", "/i.png", reply);
        ImageDownloader downloader;
        downloader.setRetryDelaysForTesting(5, 20);
        QSignalSpy finished(&downloader, &ImageDownloader::downloadFinished);
        if (!address.isEmpty()) {
            QTemporaryDir folder;
            const QString file = folder.filePath("secret.png");
            QVERIFY(QImage(4, 4, QImage::Format_RGB32).save(file));
            downloader.download("q", address.arg(file), true);
            QTRY_VERIFY(!downloader.isSyncing());
            QCOMPARE(finished.count(), 0);
            QCOMPARE(downloader.pendingCount(), 0);
            return;
        }
        downloader.download("q", url("/i.png"), false);
        downloader.download("q", url("/i.png"), true);
        if (retried) {
            QTRY_VERIFY(m_service->requestCount() >= 3);
            QCOMPARE(downloader.pendingCount(), 1);
            return;
        }
        QTRY_VERIFY(!downloader.isSyncing());
        QCOMPARE(m_service->requestCount(), 1);
        QCOMPARE(finished.count(), written.isEmpty() ? 0 : 1);
        QList<QSize> sizes;
        for (const DownloadedImageInfo& image : finished.value(0).value(2).value<DownloadedImageInfoList>()) {
            QCOMPARE(image.kind, sizes.size());
            QCOMPARE(QImage(image.fileName).size(), image.size);
            QVERIFY(utils::isOwnImageFileName(QFileInfo(image.fileName).fileName()));
            sizes << image.size;
        }
        QCOMPARE(sizes, written);
        const auto images = finished.value(0).value(2).value<DownloadedImageInfoList>();
        QCOMPARE(readStreamed<DownloadedImageInfoList>(streamed(images)), images);
    }

    void deadAddressesDoNotHoldUpOthers_data()
    {
        QTest::addColumn<bool>("stalled"); // the dead ones never answer, else they fail
        QTest::newRow("failing") << false;
        QTest::newRow("never answering") << true;
    }
    void deadAddressesDoNotHoldUpOthers()
    {
        QFETCH(bool, stalled);
        ImageDownloader downloader;
        downloader.setRetryDelaysForTesting(60000, 60000);
        QSignalSpy finished(&downloader, &ImageDownloader::downloadFinished);
        SilentService silent;
        // The dead ones take every slot at once; the others go out as slots free up, after the stall.
        silent.stall([&] {
            for (int i = 0; i < 30; ++i) {
                const QString path = QStringLiteral("/%1.png").arg(i);
                m_service->on("GET", path, i < 24 ? Reply::text(500) : Reply::raw(png(4, 4)));
                downloader.download(QString::number(i),
                                    i < 24 && stalled ? silent.baseUrl() + path : url(path), false);
            }
        });
        QCOMPARE(downloader.inFlightCount(), ImageDownloader::kMaxInFlight);
        QCOMPARE(downloader.pendingCount(), 30);
        QTRY_COMPARE(finished.count(), 6);
        QCOMPARE(downloader.pendingCount(), 24);
    }

    void controllerTracksDownloads()
    {
        QeltsImageController controller;
        m_service->on("GET", "/o.png", Reply::raw(png(60, 30)));
        auto qelt = makeQelt("q", 10);
        qelt->originalImageUrl = url("/o.png");
        controller.addQelt(qelt, QPixmap());
        QSignalSpy asked(&controller, &QeltsImageController::downloadImage);
        QSignalSpy listed(&controller, &QeltsImageController::imageForListDownloaded);
        QVERIFY(controller.originalListImage("q", url("/o.png"), true).isMissing());
        controller.originalImage("q", url("/o.png"), true);
        QCOMPARE(controller.originalListImage("q", url("/x.png"), true).size, QSize(-1, -1));
        QCOMPARE(asked.count(), 1);
        QTRY_COMPARE(listed.count(), 1);
        QCOMPARE(controller.originalListImage("q", url("/o.png"), false).size, QSize(300, 150));
        QCOMPARE(controller.originalImage("q", url("/o.png"), false).size, QSize(60, 30));

        // An answer for a rendered URL the Qelt no longer has.
        const QString oldRendered = qelt->renderedImageUrl;
        auto changed = std::make_shared<ZorvaneQelt>(*qelt);
        changed->renderedImageUrl = url("/r2.png");
        controller.addQelt(changed, QPixmap()); // a known Qelt: an update
        emit controller.downloader()->downloadFinished("q", oldRendered, {{QSize(5, 5), 0, "/tmp/x.png"}});
        emit controller.downloader()->downloadFinished("q", url("/r2.png"), {{QSize(6, 6), 0, "/tmp/y.png"}});
        QTRY_COMPARE(listed.count(), 2);
        controller.updateQelt(changed); // nothing new: the files stay
        QCOMPARE(controller.renderedListImage("q", url("/r2.png"), false).file, QStringLiteral("/tmp/y.png"));
        for (int i = 0; i < 2; ++i) // asked again once its card finds nothing to show
            controller.reloadRenderedImage("q");
        QCOMPARE(asked.count(), 2);
        // A file that does not decode is forgotten and asked for again at once; one it never named is not.
        QVERIFY(!controller.forgetUnreadableFile("q", "/tmp/x.png"));
        QVERIFY(controller.forgetUnreadableFile("q", "/tmp/y.png"));
        QVERIFY(controller.renderedListImage("q", url("/r2.png"), false).isMissing());
        QCOMPARE(asked.count(), 3);
        QCOMPARE(asked.last(), (QVariantList{"q", url("/r2.png"), false}));
    }

    void startCleansImageFolder_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("form");    // of the data home, or of the path the index names
        QTest::addColumn<QString>("foreign"); // a PNG of another program, never ours to delete
        const QString digits = "0123456789abcdef";
        QTest::newRow("our index") << 1 << ""
                                   << "holiday.png";
        QTest::newRow("other version") << 2 << ""
                                       << "holiday.png";
        QTest::newRow("data home ending in a slash") << 1 << "slash"
                                                     << "holiday.png";
        QTest::newRow("index naming a doubled slash") << 1 << "doubled"
                                                      << "holiday.png";
        // As long as our names, yet not named as we name files.
        QTest::newRow("upper-case digits") << 1 << "" << (digits + digits).toUpper() + ".png";
        QTest::newRow("a dash") << 1 << "" << digits + "-" + digits.mid(1) + ".png";
        QTest::newRow("a g") << 1 << "" << digits + "g" + digits.mid(1) + ".png";
        QTest::newRow("no digits") << 1 << "" << QString(32, 'x') + ".png";
        QTest::newRow("upper-case extension") << 1 << "" << digits + digits + ".PNG";
    }

    void startCleansImageFolder()
    {
        QFETCH(int, version);
        QFETCH(QString, form);
        QFETCH(QString, foreign);
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", dataHome); });
        if (form == "slash")
            qputenv("XDG_DATA_HOME", dataHome + '/');
        const QString folder = utils::imagesFolder();
        const QString named = folder + "/0123456789abcdef0123456789abcdef.png";
        const QString stored = form == "doubled" ? QString(named).replace("/images/", "//images/") : named;
        const QString orphan = folder + "/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.png";
        const QString vanished = folder + "/bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.png";
        const QString others = folder + '/' + foreign;
        for (const QString& path : {named, orphan, others}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFile index(QeltsImageController::indexFilePath());
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write(fields(qint32(version), QString("q")) + entry(stored, 3, 3) + entry(vanished, 3, 3) +
                    entry(QString(), 0, 0) + fields(QString("o"), QString("r")));
        index.close();
        QeltsImageController controller;
        controller.loadIndex();
        QCOMPARE(QFile::exists(named), version == 1);
        QVERIFY(!QFile::exists(orphan));
        QVERIFY(QFile::exists(others));
        QCOMPARE(controller.index().size(), version == 1 ? 1 : 0);
        controller.saveIndex();
        QVERIFY(index.open(QIODevice::ReadOnly));
        // Saved as laid out: id, the three entries (file name, width, height), the two URLs.
        QCOMPARE(index.readAll(), version == 1 ? fields(qint32(1), QString("q")) +
                                                     entry(QFileInfo(named).fileName(), 3, 3) +
                                                     entry(QString(), 0, 0) + entry(QString(), 0, 0) +
                                                     fields(QString("o"), QString("r"))
                                               : fields(qint32(1)));
    }

    // The index names files in the image folder, so a data folder moved or restored elsewhere keeps them;
    // an index from before names absolute paths in the folder's old place.
    void aMovedDataFolderKeepsItsImages_data()
    {
        QTest::addColumn<bool>("absolute");
        QTest::newRow("index of names") << false;
        QTest::newRow("index of absolute paths from before") << true;
    }

    void aMovedDataFolderKeepsItsImages()
    {
        QFETCH(bool, absolute);
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", dataHome); });
        QTemporaryDir before, after;
        qputenv("XDG_DATA_HOME", QFile::encodeName(before.path()));
        auto qelt = makeQelt("q", 10);
        qelt->originalImageUrl = url("/o.png");
        QPixmap captured(4, 2);
        captured.fill(Qt::red);
        QString written;
        {
            QeltsImageController controller;
            controller.loadIndex();
            controller.addQelt(qelt, captured);
            written = controller.originalImage("q", qelt->originalImageUrl, false).file;
            controller.saveIndex();
        }
        QVERIFY(QFile::exists(written));
        if (absolute) {
            QFile index(QeltsImageController::indexFilePath());
            QVERIFY(index.open(QIODevice::WriteOnly));
            index.write(fields(qint32(1), QString("q")) + entry(QString(), 0, 0) + entry(QString(), 0, 0) +
                        entry(written, 4, 2) + fields(qelt->originalImageUrl, qelt->renderedImageUrl));
        }
        QVERIFY(QDir().rename(before.filePath("Zorvane"), after.filePath("Zorvane")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(after.path()));

        QeltsImageController moved;
        moved.loadIndex();
        const ImageEntry original = moved.originalImage("q", qelt->originalImageUrl, false);
        QCOMPARE(original.file, utils::imagesFolder() + "/" + QFileInfo(written).fileName());
        QCOMPARE(QImage(original.file).size(), QSize(4, 2));
        QCOMPARE(original.size, QSize(4, 2));
    }

    void cacheLoadsEachPathOnce_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QStringList>("owners"); // asking, in order, before the load ends
        QTest::addColumn<bool>("listening");
        QTest::addColumn<bool>("removedWhileLoading");
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<bool>("kept");
        QTest::newRow("asked twice while loading")
            << true << QStringList{"a", "b"} << true << false << QStringList{"a"} << true;
        QTest::newRow("removed while loading")
            << true << QStringList{"a"} << true << true << QStringList{} << false;
        QTest::newRow("nobody listening")
            << true << QStringList{"a"} << false << false << QStringList{} << true;
        QTest::newRow("missing file")
            << false << QStringList{"a", "b"} << true << false << QStringList{} << false;
    }

    void cacheLoadsEachPathOnce()
    {
        QFETCH(bool, exists);
        QFETCH(QStringList, owners);
        QFETCH(bool, listening);
        QFETCH(bool, removedWhileLoading);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString path = exists ? makeHeldFile(dir) : dir.filePath("gone.png");
        QVERIFY(!path.isEmpty());
        ImageCache cache(2);
        auto release = qScopeGuard([&] { // a failed check leaves no loader waiting for the end
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
        QMutex mutex;
        QStringList told, unreadable;
        if (listening)
            cache.setListener([&](const QString& owner) {
                QMutexLocker lock(&mutex);
                told << owner;
            });
        cache.setUnreadableListener([&](const QString& owner, const QString& at) {
            QMutexLocker lock(&mutex);
            unreadable << owner + "@" + QFileInfo(at).fileName();
        });
        g_warnings.clear();
        g_previousHandler = qInstallMessageHandler(recordWarning);
        auto restore = qScopeGuard([] { qInstallMessageHandler(g_previousHandler); });

        for (const QString& owner : owners)
            QVERIFY(cache.get(path, owner).isNull());
        if (removedWhileLoading)
            cache.remove(path);
        if (exists)
            feed(path);
        cache.waitForLoaders();
        QTEST(told, "told");
        const QImage again = cache.get(path, "later");
        QCOMPARE(!again.isNull(), kept);
        QCOMPARE(again.width(), kept ? 8 : 0);
        if (exists && !kept)
            feed(path); // asked anew: loaded anew
        cache.waitForLoaders();
        QCOMPARE(g_warnings.filter("Failed to load image from file:").size(), exists ? 0 : 1);
        cache.remove(path); // a missing file is tried again only once it was let go
        QVERIFY(cache.get(path, "again").isNull());
        if (exists)
            feed(path);
        cache.waitForLoaders();
        QCOMPARE(g_warnings.filter("Failed to load image from file:").size(), exists ? 0 : 2);
        // Each failed load is told once, to whoever asked first, so that its user can let it go.
        QCOMPARE(unreadable, exists ? QStringList() : QStringList({"a@gone.png", "again@gone.png"}));
    }

    // At exit the cache goes while loaders still run; the listener, gone with its page, must not hear.
    void cacheGoingAwayLetsItsListenerGoFirst()
    {
        QTemporaryDir dir;
        const QString held = makeHeldFile(dir);
        const QString queued = dir.filePath("queued.png");
        QVERIFY(!held.isEmpty() && QImage(2, 2, QImage::Format_RGB32).save(queued));
        std::atomic<bool> released{false};
        std::atomic<int> told{0};
        auto cache = std::make_unique<ImageCache>(1);
        std::shared_ptr<void> alive(nullptr, [&released](void*) { released = true; });
        cache->setListener([alive = std::move(alive), &told](const QString&) { ++told; });
        QVERIFY(cache->get(held, "a").isNull()); // its loader waits for the picture
        QVERIFY(cache->get(queued, "b").isNull());
        std::thread closing([&cache] { cache.reset(); });
        bool fed = false;
        auto finish = qScopeGuard([&] {
            if (!fed)
                feed(held);
            closing.join();
        });
        QTRY_VERIFY(released);
        feed(held);
        fed = true;
        closing.join();
        finish.dismiss();
        QCOMPARE(told.load(), 0);
    }
};

ZQ_TEST_MAIN(TestImagePipeline)
#include "test_image_pipeline.moc"
