#include "app/SignInState.h"

#include "api/APIHandler.h"
#include "api/Provider.h"
#include "core/crashreporter.h"
#include "core/settings.h"
#include "core/userState.h"
#include "library/QeltsController.h"

SignInState::SignInState(QeltsController& library, QeltsController& searchResults)
    : m_library(library), m_searchResults(searchResults)
{
    m_searchResults.setLibrary(&m_library);
}

bool SignInState::isSignedIn() const
{
    return !m_email.isEmpty() && ZorvaneAPI::Provider::instance().hasToken();
}

void SignInState::readStored()
{
    const auto [email, token] = utils::authInfo();
    m_email = email;
    ZorvaneAPI::Provider::instance().setToken(token);
}

void SignInState::startControllers()
{
    if (!isSignedIn()) {
        m_email.clear();
        ZorvaneAPI::Provider::instance().setToken(QString());
        return;
    }
    const QString token = ZorvaneAPI::Provider::instance().token();
    m_library.setUser(m_email, token);
    m_searchResults.setUser(m_email, token);
}

void SignInState::signIn(const QString& email, const QString& token)
{
    m_email = email;
    ZorvaneAPI::Provider::instance().setAccount(email, token);
    // Straight after another account, that one's diagnostic lines leave with its own token.
    APIHandler::endSignIn(false);
    utils::setCrashReporterUser();
    m_library.setUser(m_email, token);
    m_searchResults.setUser(m_email, token);
}

void SignInState::signOut(bool tokenRefused)
{
    APIHandler::event(QStringLiteral("logout"));
    m_email.clear();
    ZorvaneAPI::Provider::instance().setAccount(QString(), QString());
    // Nothing carries the token after this moment, not even at the program's end.
    APIHandler::endSignIn(tokenRefused);
    kKeyUserName.remove();
    utils::setCrashReporterUser();
    m_library.setUser(QString(), QString());
    m_searchResults.setUser(QString(), QString());
}
