#pragma once

#include "api/QeltResult.h"
#include "core/ResultFormat.h"
#include "model/ZorvaneQelt.h"

#include <QByteArray>
#include <QImage>
#include <QJsonObject>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>

class QeltsController;

// The file dialog of "Upload Qelt": Qt splits a filter's patterns on spaces only.
inline const QString kImageFileFilter = QStringLiteral("Image files (*.jpg *.jpeg *.png)");

// Turns an image into a Qelt: encodes the captured region or a picked file as JPEG, builds the recognition
// options from the settings, uploads both, retries on network failure, and adds a recognised Qelt to the
// library. What the user must see comes out as signals; the application shows it. GUI thread only.
//
// The application calls it from its slots and connects its signals:
//     RecognizeImage(pm, open)            -> RecognizeImage(pm, open)
//     SendImageToRecongnition(...)        -> SendImageToRecongnition(...)
//     QeltRecognizedHandler(q)            -> QeltRecognizedHandler(q)
//     ImageQeltRecognizedHandler(q, pm, open) -> ImageQeltRecognizedHandler(q, pm, open)
//     UploadQelt: the file dialog with kImageFileFilter and "LastOpenedFolder", then uploadFiles(names)
//     LogOut                              -> cancelPending()
// and activity -> UpdateController::ResetActivity, captureCancelled and captureGaveNoQelt -> show the main
// window again when the capture hid it, errorMessage -> ShowErrorMessage, rateLimited -> ShowRateLimitDialog,
// showQelt -> LatexResultDialog::ShowQeltView, filesUnreadable -> a warning box.
class RecognitionUpload : public QObject
{
    Q_OBJECT

public:
    static constexpr int kJpegQuality = 83;
    static constexpr int kRetryIntervalMs = 3000;
    // Attempts count from 0: an image is uploaded at most four times.
    static constexpr int kLastAttempt = 3;

    // library receives the recognised Qelts; version goes into the options' metadata. Throws
    // std::runtime_error when library is null.
    RecognitionUpload(QeltsController* library, const QString& version, QObject* parent = nullptr);

    void setRetryInterval(int ms) { m_retryIntervalMs = ms; }

    // Images on their way: uploading, or waiting for the next attempt.
    int pendingUploads() const { return m_pending; }

    // The JPEG of the recognition upload; empty when the image cannot be written.
    static QByteArray encodeJpeg(const QImage& image);
    static QByteArray encodeJpeg(const QPixmap& pixmap);

    // The options object: delimiters from format, the other switches from the settings, count as the
    // number of images sent before this one.
    static QJsonObject recognitionOptions(const utils::ResultFormat& format, int count,
                                          const QString& version);

    // What one attempt's result asks for.
    struct Verdict
    {
        bool deliver = false;     // the result's Qelt goes to the library
        QString errorText;        // shown when not empty
        bool rateLimited = false; // the rate-limit form with rateLimitMessage; never retried
        QString rateLimitMessage;
        bool retry = false;      // upload again after the retry interval
        bool logFailure = false; // a diagnostic line about the network failure
    };
    static Verdict judge(const ZorvaneAPI::QeltResult& result, int attempt);

    // Picked files: each readable one is uploaded, opening in the view only when it was picked alone.
    // Stores the folder of the first in "LastOpenedFolder".
    void uploadFiles(const QStringList& files);

public slots:
    // A captured or loaded image; a null pixmap is a cancelled capture.
    void RecognizeImage(const QPixmap& pixmap, bool autoOpenQelt);
    // The region of a capture: opened in the view once recognised; captureGaveNoQelt when it is not.
    void recognizeCapture(const QPixmap& region);
    void SendImageToRecongnition(const QByteArray& optionsJson, const QByteArray& file, int attempt,
                                 const QPixmap& pm, bool autoOpenQelt);
    // A Qelt recognised elsewhere (the authoring pages): added and shown.
    void QeltRecognizedHandler(const ZorvaneQeltPtr& qelt);
    void ImageQeltRecognizedHandler(const ZorvaneQeltPtr& qelt, const QPixmap& pm, bool autoOpenQelt);
    // Sign-out: uploads in flight and waiting retries are dropped, so nothing reaches the next account.
    void cancelPending();

signals:
    void activity();
    void captureCancelled();
    // The upload of a captured region ended without a Qelt: refused, failed, or never sent. Before the
    // messages that say why.
    void captureGaveNoQelt();
    void errorMessage(QString text);
    void rateLimited(QString message);
    void showQelt(ZorvaneQeltPtr qelt);
    void filesUnreadable(QString text);

private:
    // Where an image came from: the end of a capture's upload is told.
    enum class Source { Image, Capture };

    void recognize(const QPixmap& pixmap, bool autoOpenQelt, Source source);
    void send(const QByteArray& optionsJson, const QByteArray& file, int attempt, const QPixmap& pm,
              bool autoOpenQelt, Source source);
    void OnRecognitionFinished(const QByteArray& optionsJson, const QByteArray& file, int attempt,
                               const QPixmap& pm, const std::shared_ptr<ZorvaneAPI::QeltResult>& result,
                               bool autoOpenQelt, Source source);
    void settle();

    QeltsController* m_library;
    QString m_version;
    int m_retryIntervalMs = kRetryIntervalMs;
    int m_pending = 0;
    // Parent of every request and retry timer in flight; replaced by cancelPending.
    QPointer<QObject> m_inFlight;
};
