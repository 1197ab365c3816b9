#include "libraryTestSupport.h"

#include "api/APIHandler.h"
#include "core/identity.h"
#include "core/paths.h"
#include "library/ImageDownloader.h"
#include "library/QeltsImageController.h"
#include "library/imageFiles.h"
#include "library/libraryMetaTypes.h"
#include "support/FakeService.h"
#include "support/TestMain.h"
#include "support/streams.h"

#include <QBuffer>
#include <QDir>

using namespace zq::test;
Q_DECLARE_METATYPE(zq::test::Reply)

// Image files from the service to the disk, the index of them, and decoding them for the gallery.
class TestImagePipeline : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeService> m_service;

    static QByteArray png(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return buffer.data();
    }

    QString url(const QString& path) const { return m_service->baseUrl() + path; }

    static QByteArray entry(const QString& file, int w, int h) { return fields(file, qint32(w), qint32(h)); }

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
        QTest::newRow("png") << Reply::raw(png(100, 50), "image/png") << QList<QSize>{{300, 150}, {100, 50}};
        QTest::newRow("slow png") << Reply::raw(png(300, 900)).withDelay(300)
                                  << QList<QSize>{{100, 300}, {300, 900}};
        QTest::newRow("404 dropped") << Reply::text(404) << QList<QSize>{};
        QTest::newRow("500 retried") << Reply::text(500) << QList<QSize>{};
        QTest::newRow("garbage retried") << Reply::raw("not an image") << QList<QSize>{};
    }

    void downloadOutcomes()
    {
        QFETCH(Reply, reply);
        QFETCH(QList<QSize>, written);
        const bool retried = written.isEmpty() && reply.status != 404 && reply.status != 410;
        m_service->on("GET", "/i.png", reply);
        ImageDownloader downloader;
        downloader.setRetryDelaysForTesting(5, 20);
        QSignalSpy finished(&downloader, &ImageDownloader::downloadFinished);
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

    void deadAddressesDoNotHoldUpOthers()
    {
        ImageDownloader downloader;
        downloader.setRetryDelaysForTesting(60000, 60000);
        QSignalSpy finished(&downloader, &ImageDownloader::downloadFinished);
        for (int i = 0; i < 30; ++i) {
            const QString path = QStringLiteral("/%1.png").arg(i);
            m_service->on("GET", path, i < 24 ? Reply::text(500) : Reply::raw(png(4, 4)));
            downloader.download(QString::number(i), url(path), false);
        }
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
    }

    void startCleansImageFolder_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("our index") << 1;
        QTest::newRow("other version") << 2;
    }

    void startCleansImageFolder()
    {
        QFETCH(int, version);
        const QString folder = utils::imagesFolder();
        const QString named = folder + "/0123456789abcdef0123456789abcdef.png";
        const QString orphan = folder + "/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.png";
        const QString vanished = folder + "/bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.png";
        const QString foreign = folder + "/holiday.png";
        for (const QString& path : {named, orphan, foreign}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFile index(QeltsImageController::indexFilePath());
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write(fields(qint32(version), QString("q")) + entry(named, 3, 3) + entry(vanished, 3, 3) +
                    entry(QString(), 0, 0) + fields(QString("o"), QString("r")));
        index.close();
        QeltsImageController controller;
        controller.loadIndex();
        QCOMPARE(QFile::exists(named), version == 1);
        QVERIFY(!QFile::exists(orphan));
        QVERIFY(QFile::exists(foreign));
        QCOMPARE(controller.index().size(), version == 1 ? 1 : 0);
        controller.saveIndex();
        QVERIFY(index.open(QIODevice::ReadOnly));
        // Saved as laid out: id, the three entries (file, width, height), the two URLs.
        QCOMPARE(index.readAll(), version == 1 ? fields(qint32(1), QString("q")) + entry(named, 3, 3) +
                                                     entry(QString(), 0, 0) + entry(QString(), 0, 0) +
                                                     fields(QString("o"), QString("r"))
                                               : fields(qint32(1)));
    }
};

ZQ_TEST_MAIN(TestImagePipeline)
#include "test_image_pipeline.moc"
