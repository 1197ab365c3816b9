#pragma once

#include <QNetworkRequest>
#include <QString>

#include <optional>

class QNetworkReply;

// The one HTTP path of the service calls: the request classes and the generic sender build their
// requests and settle their replies here, so the token, the refusal of redirects and the disposal of
// replies are handled alike everywhere.
namespace ZorvaneAPI::http {

// How long a transfer may go without a byte moving before it is given up. A service that takes a request
// and never answers would otherwise hold it open for ever; given up, the reply fails with
// QNetworkReply::OperationCanceledError and goes the caller's way for failures (retry, message).
enum class Transfer {
    // Calls, lists, edits, sign-in polling, events and downloads: a small body goes up, and a living
    // service answers soon and keeps its bytes coming. Qt's transfer timeout keeps the limit: from the
    // send to the answer's first byte, then between its bytes.
    Call,
    // A picture, drawing or document goes up, or a question, and the service recognises or composes before
    // it answers. Qt's timeout would count the whole upload, cutting a large picture on a slow mobile
    // link, so watchSilence keeps the limit instead: every byte sent or received starts it again.
    Work,
};
inline constexpr int kCallTransferLimitMs = 60000;
inline constexpr int kWorkTransferLimitMs = 90000;

// The limit of a transfer, in milliseconds.
int transferLimitMs(Transfer transfer);
// Tests give a stalled call a short limit; nothing else changes it. Taken by requests built afterwards.
void overrideTransferLimitForTesting(std::optional<int> ms);

// url with the application's User-Agent, "Authorization: Bearer <token>" and the transfer's limit.
QNetworkRequest authorizedRequest(const QString& url, const QString& token,
                                  Transfer transfer = Transfer::Call);
// url with the User-Agent and the transfer's limit only: the sign-in calls and the site carry no token.
QNetworkRequest anonymousRequest(const QString& url, Transfer transfer = Transfer::Call);
// The limit of a Work request, on its reply: armed now, started again by every byte sent or received,
// and the reply aborted when it runs out. Nothing for other requests, whose limit Qt keeps.
void watchSilence(QNetworkReply& reply);

// The first step of every reply: network access restored and the reply's disposal scheduled.
void settleReply(QNetworkReply& reply);

// Redirects are not followed, lest the token go along to another host, so a 3xx status is a failure
// whatever its body says. True for one, after the log line "[className] Redirect not followed, ...".
bool refusesRedirect(int httpStatus, const QString& className);

// What the user reads for a reply that is no answer at all.
QString genericFailureText();

} // namespace ZorvaneAPI::http
