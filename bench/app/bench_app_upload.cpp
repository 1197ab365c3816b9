// The capture road of the running application on this display (4K under scripts/bench), with no window of
// ours on the screen: from the global hotkey, typed through XTest by another X client, to the upload
// request arriving at the fake service over loopback. Split where the work changes hands: hotkey to the
// frozen overlays exposed (the screen grab and the overlays), the drag on the overlays (the X server and
// the selection), and the selected region to the request received (our JPEG, options and request), whose
// share of the whole is the figure to watch. Its baseline in the same run: the same region's picture
// encoded as a JPEG and posted as a multipart request by a bare network access manager, to the request
// received. A modal box, which nobody would answer, ends the run with an error.

#include "app/Application.h"
#include "app/startup.h"
#include "capture/ScreenShooterDialog.h"
#include "captureRoad.h"
#include "support/FakeAccount.h"
#include "support/TestEnvironment.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScreen>
#include <QWindow>

// Xlib's macros go after Qt's headers.
#include "support/Typist.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kRuns = 15;

// The least a program that uploads a region does: its picture as a JPEG in a multipart request. Nanoseconds
// on `clock` from the picture to the request received by the service.
qint64 bareUpload(const QPixmap& region, zq::test::FakeService& service, QNetworkAccessManager& manager,
                  const QElapsedTimer& clock)
{
    qint64 receivedAt = -1;
    QObject context;
    QObject::connect(&service, &zq::test::FakeService::received, &context,
                     [&](const zq::test::RecordedRequest& request) {
                         if (request.path == QLatin1String("/bare-upload"))
                             receivedAt = clock.nsecsElapsed();
                     });
    const qint64 start = clock.nsecsElapsed();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    region.toImage().save(&buffer, "JPEG", 83);
    auto* multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart file;
    file.setHeader(QNetworkRequest::ContentDispositionHeader,
                   QStringLiteral("form-data; name=\"file\"; filename=\"region.jpg\""));
    file.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("image/jpeg"));
    file.setBody(jpeg);
    multipart->append(file);
    QNetworkReply* reply = manager.post(QNetworkRequest(QUrl(service.baseUrl() + "/bare-upload")), multipart);
    multipart->setParent(reply);
    const bool received = waitFor([&] { return receivedAt >= 0; });
    waitFor([reply] { return reply->isFinished(); });
    reply->deleteLater();
    return received ? receivedAt - start : -1;
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    qputenv("TMPDIR", QFile::encodeName(zq::test::homePath()));
    qputenv("QT_LOGGING_RULES", "*.info=false");
    startup::prepareProcess();
    Application app(argc, argv);
    zq::test::FakeService service;
    zq::test::FakeAccount account(service);
    answerUploads(service, account, QStringLiteral("x^2"));
    service.on("POST", "/bare-upload", zq::test::Reply::json(QJsonObject()));
    service.on("GET", "/lin_app/version.json", zq::test::Reply::json(QJsonObject{{"version", "00.00.0001"}}));
    if (!startSignedIn(app, service))
        return 1;
    failOnModalBoxes(&app);
    Typist typist;
    if (!typist.ok() || !waitFor([&] { return !app.library().isListing(); })) {
        std::printf("no X display or no library\n");
        return 1;
    }
    ScreenShooter& shooter = app.screenShooter();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    std::printf("screen %dx%d\n", screen.width(), screen.height());

    QElapsedTimer clock;
    clock.start();
    qint64 regionAt = -1;
    qint64 receivedAt = -1;
    QPixmap lastRegion;
    QObject::connect(&shooter, &ScreenShooter::screenshotReady, [&](const QPixmap& pixmap) {
        if (!pixmap.isNull()) {
            regionAt = clock.nsecsElapsed();
            lastRegion = pixmap;
        }
    });
    QObject::connect(&service, &zq::test::FakeService::received,
                     [&](const zq::test::RecordedRequest& request) {
                         if (request.path == QLatin1String("/v1/qelts-multipart"))
                             receivedAt = clock.nsecsElapsed();
                     });

    QVector<double> toOverlay, drag, toRequest, whole, share;
    for (int i = 0; i < kRuns; ++i) {
        const qint64 libraryBefore = app.library().count();
        regionAt = receivedAt = -1;
        const qint64 start = clock.nsecsElapsed();
        typist.hotkey();
        if (!waitFor([&] { return overlaysExposed(shooter); })) {
            std::printf("overlays never showed\n");
            return 1;
        }
        const qint64 shown = clock.nsecsElapsed();
        typist.drag(screen.topLeft() + QPoint(200, 150), screen.topLeft() + QPoint(1000, 450));
        if (!waitFor([&] { return receivedAt >= 0 && app.library().count() > libraryBefore; })) {
            std::printf("the upload never arrived\n");
            return 1;
        }
        toOverlay.append((shown - start) / 1e6);
        drag.append((regionAt - shown) / 1e6);
        toRequest.append((receivedAt - regionAt) / 1e6);
        whole.append((receivedAt - start) / 1e6);
        share.append(double(receivedAt - regionAt) / double(receivedAt - start));
        waitFor([&] { return shooter.overlays().isEmpty(); });
    }
    QNetworkAccessManager manager;
    QVector<double> bare;
    for (int i = 0; i < kRuns; ++i) {
        const qint64 ns = bareUpload(lastRegion, service, manager, clock);
        if (ns < 0) {
            std::printf("the bare upload never arrived\n");
            return 1;
        }
        bare.append(ns / 1e6);
    }
    std::printf("region %dx%d\n", lastRegion.width(), lastRegion.height());
    std::printf("hotkey to overlays exposed (grab, overlays):   median %8.1f ms\n", median(toOverlay));
    std::printf("overlays to region (XTest drag, selection):    median %8.1f ms\n", median(drag));
    std::printf("region to upload received (JPEG, request):     median %8.1f ms\n", median(toRequest));
    std::printf("hotkey to upload received:                     median %8.1f ms (%d runs)\n", median(whole),
                kRuns);
    std::printf("share of region to upload in the whole:        median %8.2f\n", median(share));
    std::printf("bare JPEG and multipart post to received:      median %8.1f ms\n", median(bare));
    std::printf("ratio region to upload / bare:                        %8.2f x\n",
                median(bare) > 0 ? median(toRequest) / median(bare) : 0.0);
    std::fflush(stdout);
    app.Cleanup();
    return 0;
}
