// Every reader of what reaches the application's flows: the update manifest and its download address, the
// check of a downloaded program, and the verdict on a recognition reply (read as the create request reads
// it, with a network error and an attempt number picked by the first byte).
#include "api/ApiError.h"
#include "api/QeltResult.h"
#include "app/flows/RecognitionUpload.h"
#include "app/flows/UpdateController.h"
#include "core/identity.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QUrl>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

const QUrl& site()
{
    static const QUrl url = [] {
        utils::overrideBaseUrlsForTesting(QStringLiteral("https://site.example.test"));
        return QUrl(utils::siteUrl());
    }();
    return url;
}

void readManifest(const QByteArray& bytes)
{
    const std::optional<UpdateManifest> manifest = UpdateController::readManifest(bytes);
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    check(manifest.has_value() == (document.isObject() && !document.isEmpty()));
    if (!manifest)
        return;
    const QString url = UpdateController::downloadUrlFrom(manifest->url);
    if (!UpdateController::isAcceptedDownloadUrl(url))
        return;
    // Only https goes, and never with credentials that would travel to another host.
    const QUrl accepted(url, QUrl::StrictMode);
    check(accepted.isValid() && accepted.scheme() == site().scheme() && !accepted.host().isEmpty() &&
          accepted.userInfo().isEmpty());
}

void judgeReply(const QByteArray& bytes)
{
    static const int codes[] = {QNetworkReply::NoError, QNetworkReply::ConnectionRefusedError,
                                QNetworkReply::HostNotFoundError, QNetworkReply::UnknownNetworkError,
                                QNetworkReply::UnknownContentError};
    const uchar pick = bytes.isEmpty() ? 0 : uchar(bytes.at(0));
    const QJsonObject object = QJsonDocument::fromJson(bytes.mid(1)).object();
    ZorvaneAPI::QeltResult result;
    result.networkError.code = codes[pick % 5];
    result.errors = ZorvaneAPI::parseErrors(object);
    if (!result.networkError.isSet())
        result.qelt = ZorvaneQelt::fromJson(object);
    const int attempt = (pick / 5) % 5;

    const RecognitionUpload::Verdict verdict = RecognitionUpload::judge(result, attempt);
    check(!verdict.deliver || result.qelt);
    check(!(verdict.retry && (verdict.deliver || verdict.rateLimited || !verdict.errorText.isEmpty())));
    check(!verdict.retry || (result.networkError.isSet() && attempt < RecognitionUpload::kLastAttempt));
    check(!verdict.rateLimited || (!verdict.deliver && verdict.errorText.isEmpty()));
    // Every image ends in something the user sees, unless it is tried again.
    check(verdict.retry || verdict.deliver || verdict.rateLimited || !verdict.errorText.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    site();
    readManifest(bytes);
    check(UpdateController::looksLikeProgram(bytes) == (size >= 4 && bytes.startsWith("\x7f"
                                                                                      "ELF")));
    judgeReply(bytes);
    return 0;
}
