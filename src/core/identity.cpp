#include "core/identity.h"

#include "core/settings.h"

#include <QUuid>

namespace utils {

const QString kAppVersion = QStringLiteral("03.00.0128");

namespace {

// Only the GUI thread and tests touch these, the latter before any request goes out.
QString& baseUrlOverride()
{
    static QString url;
    return url;
}

QString& gatewayUrlOverride()
{
    static QString url;
    return url;
}

QString pick(const char* production, const char* staging)
{
    if (!baseUrlOverride().isEmpty())
        return baseUrlOverride();
    return QString::fromLatin1(kKeySetStagingAPI.get() ? staging : production);
}

// Base URLs are joined with paths that start with "/".
QString withoutTrailingSlashes(QString url)
{
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}

} // namespace

QString appVersionString()
{
    return QStringLiteral("Zorvane Qelt Linux App v") + kAppVersion;
}

QString webAppUrl()
{
    return pick("https://app.zorvane.com", "https://app.staging.zorvane.com");
}

QString apiUrl()
{
    return pick("https://api.zorvane.com", "https://api.staging.zorvane.com");
}

QString gatewayUrl()
{
    if (!gatewayUrlOverride().isEmpty())
        return gatewayUrlOverride();
    return pick("https://gateway.zorvane.com", "https://api.staging.zorvane.com");
}

QString globalGatewayUrl()
{
    return pick("https://global.zorvane.com", "https://api.staging.zorvane.com");
}

QString siteUrl()
{
    return pick("https://zorvane.com", "https://staging.zorvane.com");
}

QString accountsUrl()
{
    return pick("https://accounts.zorvane.com", "https://accounts.staging.zorvane.com");
}

void overrideBaseUrlsForTesting(const QString& baseUrl)
{
    baseUrlOverride() = withoutTrailingSlashes(baseUrl);
}

void overrideGatewayUrlForTesting(const QString& baseUrl)
{
    gatewayUrlOverride() = withoutTrailingSlashes(baseUrl);
}

QIcon appIcon()
{
    return QIcon(QStringLiteral(":/logo/logo (32x32).svg"));
}

QString deviceId()
{
    const QString stored = kKeyUserId.get();
    if (stored.size() == 32)
        return stored;
    QString id = QUuid::createUuid().toString();
    id.remove(QLatin1Char('{')).remove(QLatin1Char('}')).remove(QLatin1Char('-'));
    kKeyUserId.set(id);
    return id;
}

} // namespace utils
