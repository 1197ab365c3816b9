#include "support/FakeLogins.h"

#include <QDesktopServices>
#include <QHash>
#include <QJsonArray>
#include <QSet>

namespace zq::test {

namespace {

Reply error(int status, const QString& id)
{
    const QJsonObject failure{{"id", id}, {"message", id}};
    return Reply::json(QJsonObject{{"errors", QJsonArray{failure}}}, status);
}

} // namespace

struct FakeLogins::State
{
    struct Process
    {
        QString clientId;
        QString email;
        QString token;
        int polls = 0;
    };
    QStringList order;
    QHash<QString, Process> processes;
    QSet<QString> forgotten;
    bool forgetAll = false;
};

FakeLogins::FakeLogins(FakeService& service) : m_state(std::make_shared<State>())
{
    const std::shared_ptr<State> state = m_state;
    service.on("POST", "/v1/user/logins", [state](const RecordedRequest& request) {
        const QJsonValue clientId = request.json().value("client_id");
        if (!clientId.isString() || clientId.toString().isEmpty())
            return error(400, "invalid_client_id");
        const QString uuid = QStringLiteral("process%1").arg(state->order.size() + 1);
        state->order.append(uuid);
        state->processes.insert(uuid, State::Process{clientId.toString(), {}, {}, 0});
        return Reply::json(QJsonObject{{"uuid", uuid}});
    });
    service.on("GET", "/v1/user/logins/*", [state](const RecordedRequest& request) {
        const QString uuid = request.path.section('/', 4);
        auto process = state->processes.find(uuid);
        if (process == state->processes.end() || state->forgetAll || state->forgotten.contains(uuid))
            return error(400, "unknown_login_uuid");
        if (request.queryItem("client_id") != process->clientId)
            return error(403, "forbidden");
        ++process->polls;
        if (process->token.isEmpty())
            return Reply::json(QJsonObject{{"status", "pending"}});
        return Reply::json(
            QJsonObject{{"status", "completed"}, {"email", process->email}, {"token", process->token}});
    });
}

void FakeLogins::signIn(const QString& uuid, const QString& email, const QString& token)
{
    State::Process& process = m_state->processes[uuid];
    process.email = email;
    process.token = token;
}

void FakeLogins::forget(const QString& uuid)
{
    m_state->forgotten.insert(uuid);
}

void FakeLogins::forgetAll()
{
    m_state->forgetAll = true;
}

QStringList FakeLogins::processes() const
{
    return m_state->order;
}

QString FakeLogins::clientIdOf(const QString& uuid) const
{
    return m_state->processes.value(uuid).clientId;
}

int FakeLogins::polls(const QString& uuid) const
{
    return m_state->processes.value(uuid).polls;
}

FakeBrowser::FakeBrowser()
{
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
}

FakeBrowser::~FakeBrowser()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void FakeBrowser::openUrl(const QUrl& url)
{
    m_opened.append(url);
    emit pageOpened(url);
}

} // namespace zq::test
