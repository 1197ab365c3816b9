#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

namespace ZorvaneAPI {
class LoginIdResult;
class LoginProcessResult;
} // namespace ZorvaneAPI

// Signing in through the browser: opens a login process on the service, opens the accounts page for it
// in the browser and polls the process until the user has signed in there. A process the service no
// longer knows is replaced by a new one, a few times at most.
class LoginFlow : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollIntervalMs = 5000;
    // Replacements of a forgotten process in one sign-in before the user is asked to start again: each
    // opens a page in the browser, and a window left waiting must not keep opening them.
    static constexpr int kMaxRestarts = 3;
    static constexpr int kMaxProcessIdLength = 128;

    // The accounts page that the browser opens.
    enum class Page { Login, SignUp };
    // What a status reply asks for.
    enum class Step { Poll, SignedIn, Restart, Fail };

    explicit LoginFlow(QObject* parent = nullptr);

    void setPollInterval(int ms) { m_pollInterval = ms; }
    int pollInterval() const { return m_pollInterval; }

    // Starts afresh, dropping any sign-in under way.
    void start(Page page);
    // Drops the sign-in under way; replies still on their way are ignored.
    void cancel();
    bool isRunning() const { return m_running; }
    // The page of the current process, once it has one.
    QUrl browserUrl() const { return m_browserUrl; }
    // Opens the page of the current process in the browser again.
    bool openBrowserAgain();

    // What a status reply asks for: wait and poll again (pending, offline, service busy), done, a new
    // process (the service forgot this one), or give up.
    static Step stepFor(const ZorvaneAPI::LoginProcessResult& result);
    // A process id that may go into an address: letters, digits, "-" and "_", at most
    // kMaxProcessIdLength of them.
    static bool isUsableProcessId(const QString& id);
    // The accounts page of a process; empty for an unusable id.
    static QUrl pageUrl(Page page, const QString& processId);
    static QUrl resetPasswordUrl();

signals:
    void browserOpened(QUrl url, bool opened);
    void loggedIn(QString email, QString token);
    // The sign-in ended without success; the text says why.
    void failed(QString message);
    // A passing problem while waiting (no connection, say); empty once replies come again.
    void troubled(QString message);

private:
    void openProcess();
    void onProcessOpened(const ZorvaneAPI::LoginIdResult& result);
    void poll();
    void onStatus(const ZorvaneAPI::LoginProcessResult& result);
    void setTrouble(const QString& message);
    void fail(const QString& message);

    Page m_page = Page::Login;
    int m_pollInterval = kPollIntervalMs;
    bool m_running = false;
    // Bumped by every start and cancel, so that late replies of an earlier attempt are dropped.
    quint64 m_generation = 0;
    int m_restarts = 0;
    QString m_clientId;
    QString m_processId;
    QUrl m_browserUrl;
    QString m_trouble;
    QTimer m_pollTimer;
};
