#include "api/RequestRepeater.h"

#include "api/Provider.h"
#include "api/Request.h"

#include <QLoggingCategory>

#include <stdexcept>
#include <utility>

namespace ZorvaneAPI {

namespace {

// Why a result counts as a failed attempt; empty when it does not.
QString failureText(const Result& result)
{
    if (result.networkError.isSet())
        return QStringLiteral("Net error: %1 %2")
            .arg(result.networkError.code)
            .arg(result.networkError.message);
    if (!result.errors.isEmpty()) {
        QString text = QStringLiteral("API errors:");
        for (const ApiError& error : result.errors)
            text += QLatin1Char('\n') + error.message;
        return text;
    }
    if (result.hasError())
        return QStringLiteral("Unknown error");
    if (!result.isCompleted())
        return QStringLiteral("Recognition is not completed");
    return QString();
}

} // namespace

RequestRepeater::RequestRepeater(Request* request, Executor executor)
    : m_request(request), m_executor(std::move(executor))
{
    if (!m_request || !m_executor)
        throw std::runtime_error("[RequestRepeater] Request or executor is null");
    qRegisterMetaType<ZorvaneAPI::ResultPtr>("ZorvaneAPI::ResultPtr");
    m_request->setParent(this);
    connect(m_request, &Request::finished, this, &RequestRepeater::resultHandler);

    m_timer.setSingleShot(true);
    m_timer.setInterval(kDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &RequestRepeater::attempt);
}

void RequestRepeater::attempt()
{
    if (m_request->token() != Provider::instance().token()) {
        logInfo() << "The account has changed: no further attempt";
        m_attempt = -1;
        emit finished(std::exchange(m_lastResult, nullptr));
        return;
    }
    m_executor(m_request);
}

bool RequestRepeater::exec(bool withDelay)
{
    if (m_attempt != -1)
        return false;
    m_attempt = 0;
    m_lastResult = nullptr;
    if (withDelay)
        m_timer.start();
    else
        attempt();
    return true;
}

void RequestRepeater::execWithDelay()
{
    m_timer.start();
}

QDebug RequestRepeater::logWarning() const
{
    return QMessageLogger(nullptr, 0, nullptr, "default").warning() << "[RequestRepeater]";
}

QDebug RequestRepeater::logInfo() const
{
    return QMessageLogger(nullptr, 0, nullptr, "default").info() << "[RequestRepeater]";
}

void RequestRepeater::resultHandler(ZorvaneAPI::ResultPtr result)
{
    const QString failure = result ? failureText(*result) : QStringLiteral("Unknown error");
    m_lastResult = result;
    if (!failure.isEmpty()) {
        logWarning().noquote() << QStringLiteral("Attempt %1/%2 failed:").arg(m_attempt + 1).arg(kMaxAttempts)
                               << failure;
        ++m_attempt;
        if (m_attempt <= kMaxAttempts - 1) {
            m_timer.start();
            return;
        }
    }
    m_attempt = -1;
    m_lastResult = nullptr;
    emit finished(result);
}

} // namespace ZorvaneAPI
