#pragma once

#include <QIcon>
#include <QString>

namespace utils {

// The built-in application version, as usage events, the About box and the autostart entry show it.
extern const QString kAppVersion;

// "Zorvane Qelt Linux App v" and the version: the User-Agent of every service request and the crash
// reporter's release name.
QString appVersionString();

// Service base URLs: scheme and host, no trailing "/". Production or staging by the SetStagingAPI
// setting, read on every call.
QString webAppUrl();
QString apiUrl();
QString gatewayUrl();
QString globalGatewayUrl();
QString siteUrl();
QString accountsUrl();

// Tests only: while set, every base URL above is this one (the fake service). An empty string
// restores the real hosts. Deliberately not reachable from settings, environment or command line.
void overrideBaseUrlsForTesting(const QString& baseUrl);
// Tests only: the gateway apart from the other hosts, so that a test can tell where a call went. An
// empty string makes the gateway follow the override above again.
void overrideGatewayUrlForTesting(const QString& baseUrl);

// The application icon from the resource bundle, for every window.
QIcon appIcon();

// The persistent device identifier: 32 lower-case hex digits, made and stored on first use.
QString deviceId();

} // namespace utils
