#pragma once

#include <QNetworkRequest>
#include <QString>

class QNetworkReply;

// The one HTTP path of the service calls: the request classes and the generic sender build their
// requests and settle their replies here, so the token, the refusal of redirects and the disposal of
// replies are handled alike everywhere.
namespace ZorvaneAPI::http {

// url with the application's User-Agent and "Authorization: Bearer <token>".
QNetworkRequest authorizedRequest(const QString& url, const QString& token);
// url with the User-Agent only: the sign-in calls carry no token.
QNetworkRequest anonymousRequest(const QString& url);

// The first step of every reply: network access restored and the reply's disposal scheduled.
void settleReply(QNetworkReply& reply);

// Redirects are not followed, lest the token go along to another host, so a 3xx status is a failure
// whatever its body says. True for one, after the log line "[className] Redirect not followed, ...".
bool refusesRedirect(int httpStatus, const QString& className);

// What the user reads for a reply that is no answer at all.
QString genericFailureText();

} // namespace ZorvaneAPI::http
