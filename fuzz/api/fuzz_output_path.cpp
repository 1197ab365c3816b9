// Output paths come from the service and get the bearer token: whatever the text, a path that is let
// through must lead to the API host, also once its address is written out and read back.
#include "api/GetConversionOutputRequest.h"
#include "core/identity.h"

#include <QString>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

const QString kBase = QStringLiteral("https://api.example.test");

bool onBaseHost(const QUrl& url)
{
    const QUrl base(kBase);
    return url.isValid() && url.scheme() == base.scheme() && url.host() == base.host() &&
           url.port() == base.port() && url.userInfo().isEmpty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = [] {
        utils::overrideBaseUrlsForTesting(kBase);
        return true;
    }();
    Q_UNUSED(ready)

    const QString path = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    if (!ZorvaneAPI::GetConversionOutputRequest::isOutputPathOnApiHost(path))
        return 0;
    const QUrl url(utils::apiUrl() + path, QUrl::TolerantMode);
    if (!onBaseHost(url) || !onBaseHost(QUrl::fromEncoded(url.toEncoded(), QUrl::StrictMode)))
        std::abort();
    return 0;
}
