#include "auth/flow/LoginFlow.h"

#include "api/ApiError.h"
#include "api/GenerateLoginProcessIdRequest.h"
#include "api/GetLoginProcessStatusRequest.h"
#include "api/LoginIdResult.h"
#include "api/LoginProcessResult.h"
#include "api/Provider.h"
#include "api/run.h"
#include "core/identity.h"

#include <QDebug>
#include <QDesktopServices>
#include <QUrlQuery>
#include <QUuid>

namespace {

const QString kUnknownProcess = QStringLiteral("unknown_login_uuid");

bool hasErrorId(const ZorvaneAPI::Result& result, const QString& id)
{
    for (const ZorvaneAPI::ApiError& error : result.errors)
        if (error.id == id)
            return true;
    return false;
}

bool isRateLimited(const ZorvaneAPI::Result& result)
{
    for (const ZorvaneAPI::ApiError& error : result.errors)
        if (ZorvaneAPI::isTooManyRequestsError(error.id))
            return true;
    return false;
}

} // namespace

LoginFlow::LoginFlow(QObject* parent) : QObject(parent)
{
    m_pollTimer.setSingleShot(true);
    connect(&m_pollTimer, &QTimer::timeout, this, &LoginFlow::poll);
}

void LoginFlow::start(Page page)
{
    cancel();
    m_page = page;
    m_running = true;
    m_restarts = 0;
    openProcess();
}

void LoginFlow::cancel()
{
    ++m_generation;
    m_running = false;
    m_pollTimer.stop();
    m_processId.clear();
    m_browserUrl.clear();
}

bool LoginFlow::openBrowserAgain()
{
    return m_running && m_browserUrl.isValid() && QDesktopServices::openUrl(m_browserUrl);
}

LoginFlow::Step LoginFlow::stepFor(const ZorvaneAPI::LoginProcessResult& result)
{
    if (!result.hasError())
        return result.isCompleted() ? Step::SignedIn : Step::Poll;
    if (hasErrorId(result, kUnknownProcess))
        return Step::Restart;
    if (isRateLimited(result))
        return Step::Poll;
    // A transport failure without a word from the service passes: offline, a gateway error, a timeout.
    if (result.errors.isEmpty() && result.networkError.isSet())
        return Step::Poll;
    return Step::Fail;
}

bool LoginFlow::isUsableProcessId(const QString& id)
{
    if (id.isEmpty() || id.size() > kMaxProcessIdLength)
        return false;
    for (const QChar c : id) {
        const ushort u = c.unicode();
        const bool allowed = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                             u == '-' || u == '_';
        if (!allowed)
            return false;
    }
    return true;
}

QUrl LoginFlow::pageUrl(Page page, const QString& processId)
{
    if (!isUsableProcessId(processId))
        return QUrl();
    QUrl url(utils::accountsUrl() +
             (page == Page::SignUp ? QStringLiteral("/signup") : QStringLiteral("/login")));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("login_uuid"), processId);
    url.setQuery(query);
    return url;
}

QUrl LoginFlow::resetPasswordUrl()
{
    return QUrl(utils::accountsUrl() + QStringLiteral("/reset-password"));
}

void LoginFlow::openProcess()
{
    m_processId.clear();
    m_browserUrl.clear();
    // A fresh client id for every process: only this attempt can ask for its token.
    m_clientId = QUuid::createUuid().toString();
    const quint64 generation = m_generation;
    ZorvaneAPI::run<ZorvaneAPI::LoginIdResult>(
        ZorvaneAPI::Provider::instance().generateLoginProcessIdRequest(), this,
        [this, generation](const std::shared_ptr<ZorvaneAPI::LoginIdResult>& result) {
            if (generation == m_generation)
                onProcessOpened(*result);
        })
        ->exec(m_clientId);
}

void LoginFlow::onProcessOpened(const ZorvaneAPI::LoginIdResult& result)
{
    const QString& uuid = result.uuid;
    if (!result.errors.isEmpty()) {
        qWarning().noquote() << "[LoginFlow] Could not open a login process:" << result.errors.first().id;
        fail(tr("Could not start signing in: %1").arg(result.errors.first().message));
        return;
    }
    if (result.networkError.isSet()) {
        fail(tr("Could not reach Zorvane. Check your connection and try again."));
        return;
    }
    if (!isUsableProcessId(uuid)) {
        qWarning().noquote() << "[LoginFlow] Refused a login process id of" << uuid.size() << "characters";
        fail(tr("Zorvane sent an answer that could not be used. Please try again."));
        return;
    }
    m_processId = uuid;
    m_browserUrl = pageUrl(m_page, uuid);
    qInfo().noquote() << "[LoginFlow] Login process opened, waiting for the browser";
    const bool opened = QDesktopServices::openUrl(m_browserUrl);
    if (!opened)
        qWarning().noquote() << "[LoginFlow] Could not open the browser";
    emit browserOpened(m_browserUrl, opened);
    m_pollTimer.start(m_pollInterval);
}

void LoginFlow::poll()
{
    if (!m_running || m_processId.isEmpty())
        return;
    const quint64 generation = m_generation;
    ZorvaneAPI::run<ZorvaneAPI::LoginProcessResult>(
        ZorvaneAPI::Provider::instance().getLoginProcessStatusRequest(), this,
        [this, generation](const std::shared_ptr<ZorvaneAPI::LoginProcessResult>& result) {
            if (generation == m_generation)
                onStatus(*result);
        })
        ->exec(m_processId, m_clientId);
}

void LoginFlow::onStatus(const ZorvaneAPI::LoginProcessResult& result)
{
    switch (stepFor(result)) {
    case Step::SignedIn: {
        const QString email = result.email;
        const QString token = result.token;
        cancel();
        qInfo().noquote() << "[LoginFlow] Signed in";
        setTrouble(QString());
        emit loggedIn(email, token);
        return;
    }
    case Step::Poll:
        setTrouble(result.hasError() ? tr("Zorvane cannot be reached at the moment. Still trying...")
                                     : QString());
        m_pollTimer.start(m_pollInterval);
        return;
    case Step::Restart:
        if (++m_restarts > kMaxRestarts) {
            fail(tr("The sign-in page has expired. Please try again."));
            return;
        }
        qInfo().noquote() << "[LoginFlow] The service forgot the login process, opening a new one";
        openProcess();
        return;
    case Step::Fail:
        fail(result.errors.isEmpty()
                 ? tr("Signing in did not complete. Please try again.")
                 : tr("Signing in did not complete: %1").arg(result.errors.first().message));
        return;
    }
}

void LoginFlow::setTrouble(const QString& message)
{
    if (message == m_trouble)
        return;
    m_trouble = message;
    emit troubled(message);
}

void LoginFlow::fail(const QString& message)
{
    cancel();
    setTrouble(QString());
    emit failed(message);
}
