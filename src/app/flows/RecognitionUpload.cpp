#include "app/flows/RecognitionUpload.h"

#include "api/APIHandler.h"
#include "api/CreateQeltRequest.h"
#include "api/CreateQeltTiming.h"
#include "api/Provider.h"
#include "api/http.h"
#include "api/run.h"
#include "core/identity.h"
#include "core/settings.h"
#include "library/QeltsController.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QSysInfo>
#include <QTime>
#include <QTimer>

#include <stdexcept>

namespace {

QString clockText()
{
    return QTime::currentTime().toString(QStringLiteral("ss.zzz"));
}

QDebug logInfo()
{
    return qInfo().noquote() << "[RecognitionUpload]";
}

QDebug logWarning()
{
    return qWarning().noquote() << "[RecognitionUpload]";
}

void makeDelimiterPair(QJsonObject& object, const QString& key, const QStringList& pair)
{
    object.insert(key, QJsonArray::fromStringList(pair));
}

QString networkText()
{
    return QCoreApplication::translate(
        "QApplication", "Could not access server. Please check your network connection and try again.");
}

} // namespace

RecognitionUpload::RecognitionUpload(QeltsController* library, const QString& version, QObject* parent)
    : QObject(parent), m_library(library), m_version(version), m_inFlight(new QObject(this))
{
    if (!library)
        throw std::runtime_error("[RecognitionUpload] Qelt controller is null");
}

QByteArray RecognitionUpload::encodeJpeg(const QImage& image)
{
    QImage opaque = image;
    if (image.hasAlphaChannel()) {
        // JPEG keeps no transparency, and a clear pixel would be written black: lay it on a white page.
        opaque = QImage(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(opaque.rect(), image);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(kJpegQuality);
    if (!writer.write(opaque))
        return QByteArray();
    return bytes;
}

QByteArray RecognitionUpload::encodeJpeg(const QPixmap& pixmap)
{
    return encodeJpeg(pixmap.toImage());
}

QJsonObject RecognitionUpload::recognitionOptions(const utils::ResultFormat& format, int count,
                                                  const QString& version)
{
    QJsonObject config;
    switch (format.inlineStyle) {
    case 0:
        makeDelimiterPair(config, QStringLiteral("math_inline_delimiters"), {"$", "$"});
        break;
    case 1:
        makeDelimiterPair(config, QStringLiteral("math_inline_delimiters"), {"\\(", "\\)"});
        break;
    default:
        break;
    }
    const QString display = QStringLiteral("math_display_delimiters");
    switch (format.blockStyle) {
    case 0:
        makeDelimiterPair(config, display, {"\n$$\n", "\n$$\n"});
        break;
    case 1:
        makeDelimiterPair(config, display, {"\n\\[\n", "\n\\]\n"});
        break;
    case 2:
        makeDelimiterPair(config, display, {"\n\\begin{equation*}\n", "\n\\end{equation*}\n"});
        break;
    case 3:
        makeDelimiterPair(config, display, {"\n\\begin{align*}\n", "\n\\end{align*}\n"});
        break;
    default:
        break;
    }
    config.insert(QStringLiteral("idiomatic_eqn_arrays"), kKeyIdiomaticEquationArraysEnabled.get());
    config.insert(QStringLiteral("rm_fonts"), kKeySetRmFonts.get());
    config.insert(QStringLiteral("ocr_version"), 2);
    config.insert(QStringLiteral("zmd_version"), QStringLiteral("1.2.17"));
    config.insert(QStringLiteral("include_diagrams"), kKeyEnhancedDiagramData.get());

    QJsonObject metadata{
        {QStringLiteral("user_id"), utils::deviceId()},
        {QStringLiteral("count"), count},
        {QStringLiteral("platform"), QSysInfo::productType() + QLatin1Char(' ') + QSysInfo::productVersion()},
        {QStringLiteral("skip_recrop"), true},
        {QStringLiteral("input_type"), QStringLiteral("crop")},
        {QStringLiteral("version"), QStringLiteral("qelt.ubuntu@") + version},
    };
    const QString email = kKeySavedEmail.get();
    if (!email.isEmpty())
        metadata.insert(QStringLiteral("email"), email);

    return QJsonObject{{QStringLiteral("config"), config}, {QStringLiteral("metadata"), metadata}};
}

RecognitionUpload::Verdict RecognitionUpload::judge(const ZorvaneAPI::QeltResult& result, int attempt)
{
    Verdict verdict;
    if (!result.networkError.isSet()) {
        if (!result.hasError()) {
            verdict.deliver = true;
        } else if (result.errors.isEmpty()) {
            verdict.errorText = ZorvaneAPI::http::genericFailureText();
        } else {
            for (const ZorvaneAPI::ApiError& error : result.errors)
                verdict.errorText += error.message + QLatin1Char('\n');
            // The service may have made the Qelt anyway.
            verdict.deliver = result.qelt != nullptr;
        }
        return verdict;
    }

    if (result.errors.size() == 1 && ZorvaneAPI::isTooManyRequestsError(result.errors.first().id)) {
        verdict.rateLimited = true;
        verdict.rateLimitMessage = result.errors.first().message;
        return verdict;
    }
    verdict.logFailure = true;
    if (attempt < kLastAttempt) {
        verdict.retry = true;
    } else {
        const int code = result.networkError.code;
        const bool unreachable =
            code == QNetworkReply::UnknownNetworkError || code == QNetworkReply::HostNotFoundError;
        verdict.errorText = unreachable ? networkText() : ZorvaneAPI::http::genericFailureText();
    }
    return verdict;
}

void RecognitionUpload::uploadFiles(const QStringList& files)
{
    if (files.isEmpty())
        return;
    kKeyLastOpenedFolder.set(QFileInfo(files.first()).absolutePath());

    const bool openInView = files.size() == 1;
    int failed = 0;
    for (const QString& file : files) {
        QImageReader reader(file);
        reader.setDecideFormatFromContent(true);
        // The JPEG sent keeps no EXIF data: a photo is turned as its orientation says before it goes.
        reader.setAutoTransform(true);
        const QImage image = reader.read();
        if (image.isNull()) {
            logWarning() << "Can't read" << file << "as an image:" << reader.errorString();
            ++failed;
            continue;
        }
        RecognizeImage(QPixmap::fromImage(image), openInView);
    }
    if (failed == files.size())
        emit filesUnreadable(tr("Unable to read selected file(s) as image(s)"));
    else if (failed > 0)
        emit filesUnreadable(tr("Unable to read some of the selected files as images"));
}

void RecognitionUpload::RecognizeImage(const QPixmap& pixmap, bool autoOpenQelt)
{
    recognize(pixmap, autoOpenQelt, Source::Image);
}

void RecognitionUpload::recognizeCapture(const QPixmap& region)
{
    recognize(region, true, Source::Capture);
}

void RecognitionUpload::recognize(const QPixmap& pixmap, bool autoOpenQelt, Source source)
{
    if (pixmap.isNull()) {
        emit captureCancelled();
        return;
    }
    logInfo() << "Begin packing data, time:" << clockText();
    emit activity();

    const QByteArray jpeg = encodeJpeg(pixmap);
    if (jpeg.isEmpty()) {
        logWarning() << "Failed to write image to buffer";
        if (source == Source::Capture)
            emit captureGaveNoQelt();
        return;
    }
    const int count = kKeyCountTakenScreenshots.get();
    const QJsonObject options = recognitionOptions(utils::resultFormat(), count, m_version);
    kKeyCountTakenScreenshots.set(count + 1);
    kKeyLastScreenshot.set(QDateTime::currentDateTimeUtc());

    send(QJsonDocument(options).toJson(), jpeg, 0, pixmap, autoOpenQelt, source);
}

void RecognitionUpload::SendImageToRecongnition(const QByteArray& optionsJson, const QByteArray& file,
                                                int attempt, const QPixmap& pm, bool autoOpenQelt)
{
    send(optionsJson, file, attempt, pm, autoOpenQelt, Source::Image);
}

void RecognitionUpload::send(const QByteArray& optionsJson, const QByteArray& file, int attempt,
                             const QPixmap& pm, bool autoOpenQelt, Source source)
{
    logInfo() << "Begin uploading image, attempt:" << attempt << ", file size:" << file.size()
              << ", time:" << clockText();
    if (attempt == 0)
        ++m_pending;
    ZorvaneAPI::run<ZorvaneAPI::QeltResult>(
        ZorvaneAPI::Provider::instance().createQeltRequest(), m_inFlight,
        [this, optionsJson, file, attempt, pm, autoOpenQelt, source](const auto& result) {
            OnRecognitionFinished(optionsJson, file, attempt, pm, result, autoOpenQelt, source);
        })
        ->exec(file, optionsJson);
}

void RecognitionUpload::OnRecognitionFinished(const QByteArray& optionsJson, const QByteArray& file,
                                              int attempt, const QPixmap& pm,
                                              const std::shared_ptr<ZorvaneAPI::QeltResult>& result,
                                              bool autoOpenQelt, Source source)
{
    logInfo() << "End uploading image, attempt:" << attempt << ", time:" << clockText();
    // A receiver may sign out (cancelPending) while a signal of this image is being delivered: what
    // follows then belongs to nobody.
    const QPointer<QObject> batch = m_inFlight;
    emit activity();
    if (batch != m_inFlight)
        return;

    const Verdict verdict = judge(*result, attempt);
    if (verdict.logFailure)
        APIHandler::log(QStringLiteral("Recognition failed, net error: %1 %2")
                            .arg(result->networkError.code)
                            .arg(result->networkError.message),
                        QStringLiteral("error"), QString());
    if (verdict.retry) {
        QTimer::singleShot(m_retryIntervalMs, m_inFlight,
                           [=] { send(optionsJson, file, attempt + 1, pm, autoOpenQelt, source); });
        return;
    }
    settle();
    const bool delivered = verdict.deliver && result->qelt;
    if (source == Source::Capture && !delivered)
        emit captureGaveNoQelt();
    if (verdict.rateLimited)
        emit rateLimited(verdict.rateLimitMessage);
    if (!verdict.errorText.isEmpty())
        emit errorMessage(verdict.errorText);
    if (verdict.deliver && batch == m_inFlight)
        ImageQeltRecognizedHandler(result->qelt, pm, autoOpenQelt);
}

void RecognitionUpload::settle()
{
    if (m_pending > 0)
        --m_pending;
}

void RecognitionUpload::QeltRecognizedHandler(const ZorvaneQeltPtr& qelt)
{
    ImageQeltRecognizedHandler(qelt, QPixmap(), true);
}

void RecognitionUpload::ImageQeltRecognizedHandler(const ZorvaneQeltPtr& qelt, const QPixmap& pm,
                                                   bool autoOpenQelt)
{
    emit activity();
    m_library->addQelt(qelt, true, pm);
    CreateQeltTiming::instance().processedStamp = CreateQeltTiming::now();
    if (autoOpenQelt && qelt)
        emit showQelt(qelt);
}

void RecognitionUpload::cancelPending()
{
    if (m_pending > 0)
        logInfo() << "Dropping" << m_pending << "uploads in flight";
    delete m_inFlight;
    m_inFlight = new QObject(this);
    m_pending = 0;
}
