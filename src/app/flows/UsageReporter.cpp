#include "app/flows/UsageReporter.h"

#include "api/APIHandler.h"
#include "api/Provider.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/userState.h"

#include <QDebug>
#include <QPointer>
#include <QSysInfo>
#include <QTimer>

#include <utility>

namespace {

QDebug logInfo()
{
    return qInfo().noquote() << "[UsageReporter]";
}

QDebug logWarning()
{
    return qWarning().noquote() << "[UsageReporter]";
}

} // namespace

UsageReporter::UsageReporter(QObject* parent) : QObject(parent) {}

QJsonObject UsageReporter::eventBody(const QString& name, const QString& email)
{
    QJsonObject body{
        {QStringLiteral("app_id"), utils::deviceId()},
        {QStringLiteral("name"), name},
        {QStringLiteral("platform"), QStringLiteral("linux")},
        {QStringLiteral("version"), utils::kAppVersion},
    };
    const QString userEmail = email.isEmpty() ? kKeySavedEmail.get() : email;
    if (!userEmail.isEmpty())
        body.insert(QStringLiteral("metadata"), QJsonObject{{QStringLiteral("user_email"), userEmail}});
    return body;
}

QJsonObject UsageReporter::feedbackBody(const QString& text)
{
    return QJsonObject{
        {QStringLiteral("text"), text},
        {QStringLiteral("platform"), QSysInfo::prettyProductName()},
        {QStringLiteral("version"), utils::kAppVersion},
    };
}

void UsageReporter::SendEvent(const QString& name, const QString& email)
{
    logInfo() << "Send event:" << name;
    ++m_pendingEvents;
    SendEventData(eventBody(name, email));
}

void UsageReporter::SendEventData(const QJsonObject& body)
{
    QPointer<UsageReporter> self(this);
    APIHandler::send(
        QStringLiteral("/v1/events"), QStringLiteral("POST"), body,
        [self](const QJsonDocument&) {
            if (self)
                self->OnEventSent();
        },
        [self, body, token = utils::authInfo().second](const QJsonObject& failure) {
            if (self)
                self->OnEventError(failure, body, token);
        });
}

void UsageReporter::OnEventSent()
{
    logInfo() << "Metric data sent successfully";
    if (m_pendingEvents > 0)
        --m_pendingEvents;
}

bool UsageReporter::isRefusedSignIn(const QJsonObject& failure)
{
    const int status = failure.value(QStringLiteral("http_status")).toInt();
    return status == 401 || status == 403;
}

bool UsageReporter::isRefusedForGood(const QJsonObject& failure)
{
    const int status = failure.value(QStringLiteral("http_status")).toInt();
    // A timed-out request (408) and a rate limit (429) pass; the service's other 4xx say the same to the
    // same body every time.
    return status >= 400 && status <= 499 && status != 408 && status != 429 && !isRefusedSignIn(failure);
}

void UsageReporter::OnEventError(const QJsonObject& failure, const QJsonObject& body, const QString& token)
{
    // Sending it again with the same token would only be refused again.
    if (isRefusedSignIn(failure) && utils::authInfo().second == token) {
        logWarning() << "Event" << body.value(QStringLiteral("name")).toString()
                     << "refused with this sign-in, kept for the next one: HTTP"
                     << failure.value(QStringLiteral("http_status")).toInt();
        m_awaitingSignIn.append(body);
        return;
    }
    if (isRefusedForGood(failure)) {
        logWarning() << "Event" << body.value(QStringLiteral("name")).toString()
                     << "refused by the service, not sent again: HTTP"
                     << failure.value(QStringLiteral("http_status")).toInt();
        if (m_pendingEvents > 0)
            --m_pendingEvents;
        return;
    }
    // Before sign-in and while offline alike: the event waits for a send that goes through.
    QTimer::singleShot(m_eventResendMs, this, [this, body] { SendEventData(body); });
}

void UsageReporter::signedIn()
{
    const QList<QJsonObject> events = std::exchange(m_awaitingSignIn, {});
    for (const QJsonObject& body : events)
        SendEventData(body);
}

void UsageReporter::SendFeedback(const QString& text, const QString& /*email*/)
{
    if (!ZorvaneAPI::Provider::instance().hasToken()) {
        logWarning() << "Failed to send feedback, token is empty";
        feedbackFailed();
        return;
    }
    SendFeedbackImpl(feedbackBody(text), 0);
}

void UsageReporter::SendFeedbackImpl(const QJsonObject& body, int attempt)
{
    QPointer<UsageReporter> self(this);
    APIHandler::send(
        QStringLiteral("/v1/user/feedback"), QStringLiteral("POST"), body,
        [self](const QJsonDocument&) {
            if (self)
                self->OnFeedbackSent();
        },
        [self, body, attempt, token = ZorvaneAPI::Provider::instance().token()](const QJsonObject& failure) {
            if (!self)
                return;
            // Another account signed in meanwhile: a retry would send this feedback under its name.
            if (ZorvaneAPI::Provider::instance().token() != token) {
                logWarning() << "Feedback not sent again: the account changed";
                self->feedbackFailed();
                return;
            }
            self->OnFeedbackError(failure, body, attempt);
        });
}

void UsageReporter::OnFeedbackSent()
{
    emit trayMessage(tr("Feedback has been sent"));
}

void UsageReporter::OnFeedbackError(const QJsonObject& failure, const QJsonObject& body, int attempt)
{
    const QString id = failure.value(QStringLiteral("id")).toString();
    const QJsonValue message = failure.value(QStringLiteral("message"));
    if (id == QLatin1String("network_reply_error")) {
        logWarning() << "Failed to send feedback, error:" << message;
        if (attempt < kLastFeedbackAttempt) {
            QTimer::singleShot(m_feedbackRetryMs, this,
                               [this, body, attempt, token = ZorvaneAPI::Provider::instance().token()] {
                                   if (ZorvaneAPI::Provider::instance().token() != token) {
                                       logWarning() << "Feedback not sent again: the account changed";
                                       feedbackFailed();
                                       return;
                                   }
                                   OnFeedbackRetry(body, attempt);
                               });
            return;
        }
    } else {
        // No token, no network, or the service refused it: trying again would not help.
        logWarning() << "Failed to send feedback" << id << message;
    }
    feedbackFailed();
}

void UsageReporter::OnFeedbackRetry(const QJsonObject& body, int attempt)
{
    SendFeedbackImpl(body, attempt + 1);
}

void UsageReporter::feedbackFailed()
{
    emit errorMessage(tr("Failed to send feedback"));
}
