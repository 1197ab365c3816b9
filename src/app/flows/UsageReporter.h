#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

// The one-time usage events ("install", "initial_login") and the user's feedback text, sent through the
// generic sender. Events are sent again until the service takes them or refuses them for good; one refused
// for its token waits for the next sign-in. Feedback is retried on transport errors and the user hears how
// it went. GUI thread only.
//
// The application calls SendEvent where it raises an event and signedIn after each sign-in, connects each
// feedback window's SendFeedback(text, email) to SendFeedback (also the one the rate-limit form's contact
// link opens), and connects trayMessage -> ShowTrayMessage, errorMessage -> ShowErrorMessage.
class UsageReporter : public QObject
{
    Q_OBJECT

public:
    static constexpr int kEventResendIntervalMs = 5000;
    static constexpr int kFeedbackRetryIntervalMs = 3000;
    // Attempts count from 0: feedback is sent at most four times.
    static constexpr int kLastFeedbackAttempt = 3;

    explicit UsageReporter(QObject* parent = nullptr);

    void setEventResendInterval(int ms) { m_eventResendMs = ms; }
    void setFeedbackRetryInterval(int ms) { m_feedbackRetryMs = ms; }

    // Events raised and neither taken nor refused for good yet.
    int pendingEvents() const { return m_pendingEvents; }
    // Of those, the ones refused with the token they were sent with.
    int eventsAwaitingSignIn() const { return m_awaitingSignIn.size(); }

    // email empty: the saved e-mail, if any.
    static QJsonObject eventBody(const QString& name, const QString& email);
    static QJsonObject feedbackBody(const QString& text);
    // A failure of the generic sender that the same request meets every time: an HTTP 4xx other than 408
    // and 429, and other than 401 and 403, which refuse the sign-in rather than the request.
    static bool isRefusedForGood(const QJsonObject& failure);
    // 401 and 403: the same event goes through with another sign-in.
    static bool isRefusedSignIn(const QJsonObject& failure);

public slots:
    void SendEvent(const QString& name, const QString& email);
    void SendEventData(const QJsonObject& body);
    // The e-mail that the feedback window passes along is not sent.
    void SendFeedback(const QString& text, const QString& email);
    void SendFeedbackImpl(const QJsonObject& body, int attempt);
    // The events refused with the last account's token go again, with the new one.
    void signedIn();

signals:
    void trayMessage(QString text);
    void errorMessage(QString text);

private:
    void OnEventSent();
    void OnEventError(const QJsonObject& failure, const QJsonObject& body, const QString& token);
    void OnFeedbackSent();
    void OnFeedbackError(const QJsonObject& failure, const QJsonObject& body, int attempt);
    void OnFeedbackRetry(const QJsonObject& body, int attempt);
    void feedbackFailed();

    int m_eventResendMs = kEventResendIntervalMs;
    int m_feedbackRetryMs = kFeedbackRetryIntervalMs;
    int m_pendingEvents = 0;
    QList<QJsonObject> m_awaitingSignIn;
};
