#pragma once

#include "api/Result.h"

#include <QDebug>
#include <QObject>
#include <QTimer>

#include <functional>

namespace ZorvaneAPI {

class Request;

// Runs one request again until its result is free of errors and complete: at most kMaxAttempts calls
// of the executor, kDelayMs apart, then one finished with the last result. Once the Provider holds
// another token than the request's (a sign-out, another account), no attempt is made any more: the series
// ends with the last result, or a null one before the first. The repeater owns the request; the receiver
// of finished disposes of the repeater with deleteLater.
class RequestRepeater : public QObject
{
    Q_OBJECT

public:
    using Executor = std::function<void(Request*)>;

    static constexpr int kMaxAttempts = 5;
    static constexpr int kDelayMs = 200;

    // Throws std::runtime_error when request is null or executor empty.
    RequestRepeater(Request* request, Executor executor);

    // Starts a series, at once or after the delay; false while a series is running.
    bool exec(bool withDelay);

    // Tests shorten the pause between attempts; the product keeps kDelayMs.
    void setDelay(int ms) { m_timer.setInterval(ms); }

    QDebug logWarning() const;
    QDebug logInfo() const;

signals:
    void finished(ZorvaneAPI::ResultPtr result);

public slots:
    // Runs the executor after the delay, without touching the series.
    void execWithDelay();

private slots:
    void resultHandler(ZorvaneAPI::ResultPtr result);

private:
    void attempt();

    Request* m_request;
    Executor m_executor;
    int m_attempt = -1; // -1 while no series runs
    ResultPtr m_lastResult;
    QTimer m_timer;
};

} // namespace ZorvaneAPI
