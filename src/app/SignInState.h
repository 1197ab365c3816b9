#pragma once

#include <QString>

class QeltsController;

// Who is signed in: the user's e-mail here and the bearer token in the request factory, signed in only
// with both. Hands the account to the two Qelt controllers: the library keeps the user's Qelts, the
// search results take the token for their own requests.
class SignInState
{
public:
    SignInState(QeltsController& library, QeltsController& searchResults);

    QString email() const { return m_email; }
    bool isSignedIn() const;

    // At start: the stored pair, e-mail here and token to the request factory.
    void readStored();
    // Then: signed in, both controllers start for the user; otherwise both halves are forgotten.
    void startControllers();
    // A sign-in: the pair is stored, the crash reporter learns the user, the controllers start.
    void signIn(const QString& email, const QString& token);
    // A sign-out: the pair and the user name are removed, the controllers drop the user's Qelts. The
    // session's diagnostic lines leave now, with its token; tokenRefused: the service refused it, they
    // are dropped.
    void signOut(bool tokenRefused = false);

private:
    QeltsController& m_library;
    QeltsController& m_searchResults;
    QString m_email;
};
