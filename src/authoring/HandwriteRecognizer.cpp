#include "authoring/HandwriteRecognizer.h"

#include "api/CreateQeltFromStrokesRequest.h"
#include "api/GetQeltRequest.h"
#include "api/Provider.h"
#include "api/QeltResult.h"
#include "api/run.h"

#include <QCoreApplication>
#include <QDebug>

using ZorvaneAPI::QeltResult;

HandwriteRecognizer::HandwriteRecognizer(QObject* parent) : QObject(parent) {}

bool HandwriteRecognizer::recognize(const Strokes& strokes)
{
    if (m_busy || strokes.isEmpty())
        return false;
    setBusy(true);
    qInfo() << "[HandwriteRecognizer] Sending" << strokes.size() << "strokes";
    ZorvaneAPI::run<QeltResult>(ZorvaneAPI::Provider::instance().createQeltFromStrokesRequest(), this,
                                [this](const std::shared_ptr<QeltResult>& result) { onCreated(result); })
        ->exec(strokes);
    return true;
}

QString HandwriteRecognizer::failureText(const QeltResult& result)
{
    if (result.networkError.isSet()) {
        const int code = result.networkError.code;
        if (code == QNetworkReply::UnknownNetworkError || code == QNetworkReply::HostNotFoundError)
            return QCoreApplication::translate(
                "QApplication",
                "Could not access server. Please check your network connection and try again.");
        return ZorvaneAPI::http::genericFailureText();
    }
    QString messages;
    for (const ZorvaneAPI::ApiError& error : result.errors)
        messages += error.message + QLatin1Char('\n');
    // Errors without words tell the user nothing.
    if (!messages.trimmed().isEmpty())
        return messages;
    return result.hasError() ? ZorvaneAPI::http::genericFailureText() : QString();
}

void HandwriteRecognizer::onCreated(const std::shared_ptr<QeltResult>& result)
{
    if (result->hasError() || result->isCompleted()) {
        finish(*result);
        return;
    }
    const QString id = result->qelt->id;
    qInfo() << "[HandwriteRecognizer] Waiting for" << id << "with status" << result->qelt->status;
    auto* repeater = ZorvaneAPI::Provider::instance().getQeltRepeater(
        [id](ZorvaneAPI::Request* request) { static_cast<ZorvaneAPI::GetQeltRequest*>(request)->exec(id); });
    ZorvaneAPI::run<QeltResult>(repeater, this,
                                [this, first = result](const std::shared_ptr<QeltResult>& last) {
                                    finish(last->hasError() ? *first : *last);
                                })
        ->exec(true);
}

void HandwriteRecognizer::finish(const QeltResult& result)
{
    const auto rateLimit = [&] {
        return result.networkError.isSet() && !result.errors.isEmpty() &&
               ZorvaneAPI::isTooManyRequestsError(result.errors.first().id);
    };
    // The road ends before the signal, so that a receiver may send the next drawing at once.
    setBusy(false);
    if (rateLimit()) {
        emit rateLimited(result.errors.first().message);
    } else if (result.hasError()) {
        qWarning() << "[HandwriteRecognizer] Recognition failed:" << result.networkError.code
                   << result.networkError.message;
        emit failed(failureText(result));
    } else if (result.isCompleted() && !result.qelt->hasContent()) {
        qInfo() << "[HandwriteRecognizer] Nothing recognised in" << result.qelt->id;
        emit nothingRecognized();
    } else {
        emit recognized(result.qelt);
    }
}

void HandwriteRecognizer::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    emit busyChanged(busy);
}
