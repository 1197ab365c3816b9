// Memory and time of a 50 MB conversion-output download and a 50 MB PDF upload, against a bare
// network access manager doing the same transfer (readAll of the reply; a post of the file's bytes),
// measured in the same run. The service runs in a child process, and every transfer in a fresh child
// of its own, so that neither the service's buffers nor another transfer's heap count.
#include "api/ConversionOutputResult.h"
#include "api/GetConversionOutputRequest.h"
#include "api/PdfResult.h"
#include "api/UploadPdfRequest.h"
#include "core/identity.h"
#include "support/FakeService.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

constexpr int kSize = 50 * 1024 * 1024;
constexpr int kRounds = 3;

QByteArray payload()
{
    QByteArray bytes(kSize, Qt::Uninitialized);
    // Unsigned: i * 131 passes INT_MAX long before kSize, and as a signed overflow that is undefined;
    // the optimised build ran out of memory in this loop.
    char* data = bytes.data();
    for (quint32 i = 0; i < quint32(kSize); ++i)
        data[i] = char((i * 131u) >> 7);
    return bytes;
}

// The service: serves the output and takes uploads until its standard input closes.
int serve()
{
    zq::test::FakeService service;
    service.on("GET", "/v1/out/big.zip", zq::test::Reply::raw(payload(), "application/zip"));
    service.on("POST", "/v1/pdfs", zq::test::Reply::json(QJsonObject{{"pdf", QJsonObject{{"id", "p1"}}}}));
    std::printf("%d\n", service.port());
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    return QCoreApplication::exec();
}

qint64 statusValue(const QByteArray& key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

// One transfer in this fresh process; prints its time in ms and its peak memory growth in bytes.
int transfer(const QString& variant, const QString& base, const QString& pdfPath)
{
    utils::overrideBaseUrlsForTesting(base);
    QNetworkAccessManager manager;
    QEventLoop loop;
    bool ok = false;
    const qint64 before = statusValue("VmRSS:");
    QElapsedTimer timer;
    timer.start();

    if (variant == QLatin1String("download-baseline")) {
        QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(base + QStringLiteral("/v1/out/big.zip"))));
        QObject::connect(reply, &QNetworkReply::finished, [&] {
            ok = reply->readAll().size() == kSize;
            loop.quit();
        });
    } else if (variant == QLatin1String("download")) {
        auto* request = new ZorvaneAPI::GetConversionOutputRequest(&manager, QStringLiteral("t"), &loop);
        QObject::connect(request, &ZorvaneAPI::Request::finished, [&](ZorvaneAPI::ResultPtr r) {
            const auto result = std::dynamic_pointer_cast<ZorvaneAPI::ConversionOutputResult>(r);
            ok = result && result->output && result->output->data.size() == kSize;
            loop.quit();
        });
        request->exec(QStringLiteral("/v1/out/big.zip"));
    } else if (variant == QLatin1String("upload-baseline")) {
        QFile file(pdfPath);
        file.open(QIODevice::ReadOnly);
        QNetworkRequest request(QUrl(base + QStringLiteral("/v1/pdfs")));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/pdf"));
        QNetworkReply* reply = manager.post(request, file.readAll());
        QObject::connect(reply, &QNetworkReply::finished, [&] {
            ok = reply->error() == QNetworkReply::NoError;
            loop.quit();
        });
    } else {
        auto* request = new ZorvaneAPI::UploadPdfRequest(&manager, QStringLiteral("t"), &loop);
        QObject::connect(request, &ZorvaneAPI::Request::finished, [&](ZorvaneAPI::ResultPtr r) {
            ok = !r->hasError();
            loop.quit();
        });
        request->exec(pdfPath, "{}");
    }
    loop.exec();
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("%d %f %lld\n", ok ? 1 : 0, ms, statusValue("VmHWM:") - before);
    return ok ? 0 : 1;
}

struct Measure
{
    double ms = 1e300;
    qint64 growth = LLONG_MAX;
    bool ok = true;
};

void measure(Measure& best, const QString& variant, const QString& base, const QString& pdfPath)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--transfer"), variant, base, pdfPath});
    child.waitForFinished(120000);
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 3 || fields.at(0) != "1") {
        best.ok = false;
        return;
    }
    best.ms = qMin(best.ms, fields.at(1).toDouble());
    best.growth = qMin(best.growth, fields.at(2).toLongLong());
}

void report(const char* what, const Measure& ours, const Measure& base)
{
    if (!ours.ok || !base.ok) {
        std::printf("%-9s FAILED\n", what);
        return;
    }
    std::printf("%-9s ours %7.1f ms %6.1f MB | baseline %7.1f ms %6.1f MB | time %.2fx, memory %.2fx\n", what,
                ours.ms, ours.growth / 1048576.0, base.ms, base.growth / 1048576.0, ours.ms / base.ms,
                double(ours.growth) / double(base.growth));
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.contains(QStringLiteral("--serve")))
        return serve();
    zq::test::prepareApplication();
    if (arguments.size() == 5 && arguments.at(1) == QLatin1String("--transfer"))
        return transfer(arguments.at(2), arguments.at(3), arguments.at(4));

    QProcess server;
    server.start(app.applicationFilePath(), {QStringLiteral("--serve")});
    if (!server.waitForReadyRead(60000)) {
        std::fprintf(stderr, "service did not start\n");
        return 1;
    }
    const QString base =
        QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(server.readLine().trimmed());

    QTemporaryDir dir;
    const QString pdfPath = dir.filePath(QStringLiteral("big.pdf"));
    {
        QFile file(pdfPath);
        file.open(QIODevice::WriteOnly);
        file.write(payload());
    }

    Measure ourDownload, baseDownload, ourUpload, baseUpload;
    for (int round = 0; round < kRounds; ++round) {
        measure(baseDownload, QStringLiteral("download-baseline"), base, pdfPath);
        measure(ourDownload, QStringLiteral("download"), base, pdfPath);
        measure(baseUpload, QStringLiteral("upload-baseline"), base, pdfPath);
        measure(ourUpload, QStringLiteral("upload"), base, pdfPath);
    }
    report("download", ourDownload, baseDownload);
    report("upload", ourUpload, baseUpload);

    server.closeWriteChannel();
    server.waitForFinished(10000);
    return 0;
}
