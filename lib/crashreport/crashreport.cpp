#include "crashreport.h"

#include "json.h"
#include "signals.h"
#include "upload.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QThread>
#include <QUuid>

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sentry_options_s
{
    std::string dsn;
    std::string databasePath;
    std::string release;
};

struct sentry_value_s
{
    enum Kind { String, Object, Event } kind;
    std::string text;
    std::vector<std::pair<std::string, sentry_value_s*>> members;
    sentry_level_t level = SENTRY_LEVEL_ERROR;
    std::string logger;

    sentry_value_s(Kind k, const char* t) : kind(k), text(t ? t : "") {}
    sentry_value_s(const sentry_value_s&) = delete;
    sentry_value_s& operator=(const sentry_value_s&) = delete;
    ~sentry_value_s()
    {
        for (auto& member : members)
            delete member.second;
    }

    std::string toJson() const
    {
        if (kind == String)
            return crashreport::jsonString(text.c_str());
        std::string out = "{";
        for (const auto& member : members) {
            if (out.size() > 1)
                out += ',';
            out += crashreport::jsonString(member.first.c_str()) + ':' + member.second->toJson();
        }
        return out + '}';
    }
};

namespace {

// How long one upload step may wait, and how long shutdown waits for a running upload: long enough
// for a connection attempt to time out, as reading stops within a moment of the stop request.
constexpr int kUploadTimeoutMs = 5000;
constexpr int kShutdownWaitMs = 6000;

struct State
{
    bool active = false;
    std::string databasePath;
    std::string release;
    std::map<std::string, std::string> tags;
    std::string userJson = "{}";
    QThread* uploader = nullptr;
    std::shared_ptr<std::atomic<bool>> stopUpload;
};

std::mutex g_mutex;
State g_state;

const char* levelName(sentry_level_t level)
{
    switch (level) {
    case SENTRY_LEVEL_DEBUG:
        return "debug";
    case SENTRY_LEVEL_INFO:
        return "info";
    case SENTRY_LEVEL_WARNING:
        return "warning";
    case SENTRY_LEVEL_ERROR:
        return "error";
    case SENTRY_LEVEL_FATAL:
        return "fatal";
    }
    return "error";
}

std::string tagsJson(const State& state)
{
    std::string out = "{";
    for (const auto& tag : state.tags) {
        if (out.size() > 1)
            out += ',';
        out += crashreport::jsonString(tag.first.c_str()) + ':' + crashreport::jsonString(tag.second.c_str());
    }
    return out + '}';
}

// The members every record carries, with a trailing comma; caller holds g_mutex.
std::string commonMembers(const State& state)
{
    return "\"release\":" + crashreport::jsonString(state.release.c_str()) + ",\"tags\":" + tagsJson(state) +
           ",\"user\":" + state.userJson + ',';
}

void refreshCrashContext()
{
    if (g_state.active)
        crashreport::setCrashContext(commonMembers(g_state));
}

QString folderOf(const std::string& path)
{
    return QString::fromLocal8Bit(path.c_str());
}

// Records present now, oldest first; those written later in this run wait for the next start.
QStringList storedRecords(const QString& folder)
{
    QStringList files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

void startUpload(const std::string& dsnText)
{
    const auto dsn = crashreport::parseDsn(QString::fromUtf8(dsnText.c_str()));
    if (!dsn)
        return;
    const QStringList files = storedRecords(folderOf(g_state.databasePath));
    if (files.isEmpty())
        return;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    g_state.stopUpload = stop;
    // A QThread, so that the sockets find an event dispatcher even before the application object exists.
    g_state.uploader = QThread::create(
        [dsn = *dsn, files, stop] { crashreport::uploadRecords(dsn, files, *stop, kUploadTimeoutMs); });
    g_state.uploader->start();
}

void stopUpload()
{
    if (!g_state.uploader)
        return;
    g_state.stopUpload->store(true);
    if (g_state.uploader->wait(kShutdownWaitMs))
        delete g_state.uploader;
    // else: a peer that does not answer; the thread ends with its own time-out, and the process may end
    // first.
    g_state.uploader = nullptr;
    g_state.stopUpload.reset();
}

} // namespace

extern "C" {

sentry_options_t* sentry_options_new(void)
{
    return new (std::nothrow) sentry_options_s;
}

void sentry_options_free(sentry_options_t* options)
{
    delete options;
}

void sentry_options_set_dsn(sentry_options_t* options, const char* dsn)
{
    if (options)
        options->dsn = dsn ? dsn : "";
}

void sentry_options_set_database_path(sentry_options_t* options, const char* path)
{
    if (options)
        options->databasePath = path ? path : "";
}

void sentry_options_set_release(sentry_options_t* options, const char* release)
{
    if (options)
        options->release = release ? release : "";
}

int sentry_init(sentry_options_t* options)
{
    std::unique_ptr<sentry_options_s> owned(options);
    sentry_shutdown();
    if (!owned || owned->databasePath.empty())
        return 1;
    const QString folder = folderOf(owned->databasePath);
    if (!QDir().mkpath(folder))
        return 1;

    std::lock_guard<std::mutex> lock(g_mutex);
    g_state.active = true;
    g_state.databasePath = QDir(folder).absolutePath().toLocal8Bit().toStdString();
    g_state.release = owned->release;
    crashreport::installSignalHandlers(g_state.databasePath);
    refreshCrashContext();
    startUpload(owned->dsn);
    return 0;
}

int sentry_shutdown(void)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    stopUpload();
    crashreport::removeSignalHandlers();
    g_state = State();
    return 0;
}

void sentry_set_tag(const char* key, const char* value)
{
    if (!key)
        return;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_state.tags[key] = value ? value : "";
    refreshCrashContext();
}

void sentry_set_user(sentry_value_t user)
{
    std::unique_ptr<sentry_value_s> owned(user);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_state.userJson = owned && owned->kind == sentry_value_s::Object ? owned->toJson() : "{}";
    refreshCrashContext();
}

sentry_value_t sentry_value_new_object(void)
{
    return new (std::nothrow) sentry_value_s(sentry_value_s::Object, nullptr);
}

sentry_value_t sentry_value_new_string(const char* text)
{
    return new (std::nothrow) sentry_value_s(sentry_value_s::String, text);
}

int sentry_value_set_by_key(sentry_value_t object, const char* key, sentry_value_t value)
{
    std::unique_ptr<sentry_value_s> owned(value);
    if (!object || object->kind == sentry_value_s::String || !key || !owned)
        return 1;
    for (auto& member : object->members) {
        if (member.first == key) {
            delete member.second;
            member.second = owned.release();
            return 0;
        }
    }
    object->members.emplace_back(key, owned.release());
    return 0;
}

void sentry_value_decref(sentry_value_t value)
{
    delete value;
}

sentry_value_t sentry_value_new_message_event(sentry_level_t level, const char* logger, const char* message)
{
    auto* event = new (std::nothrow) sentry_value_s(sentry_value_s::Event, message);
    if (event) {
        event->level = level;
        event->logger = logger ? logger : "";
    }
    return event;
}

sentry_uuid_t sentry_capture_event(sentry_value_t event)
{
    std::unique_ptr<sentry_value_s> owned(event);
    sentry_uuid_t id = {};
    if (!owned || owned->kind != sentry_value_s::Event)
        return id;

    std::string json;
    QString folder;
    const QUuid uuid = QUuid::createUuid();
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_state.active)
            return id;
        folder = folderOf(g_state.databasePath);
        json = "{\"kind\":\"message\",\"event_id\":\"" + uuid.toString(QUuid::Id128).toStdString() +
               "\",\"level\":\"" + levelName(owned->level) +
               "\",\"logger\":" + crashreport::jsonString(owned->logger.c_str()) +
               ",\"message\":" + crashreport::jsonString(owned->text.c_str()) + ',' + commonMembers(g_state) +
               "\"timestamp\":\"" + QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString() +
               "\"}\n";
    }
    // Names sort in the order the events were made, which is the order they are sent in.
    static std::atomic<unsigned> sequence{0};
    const QString name = QStringLiteral("%1-%2-%3-event.json")
                             .arg(QDateTime::currentMSecsSinceEpoch())
                             .arg(sequence++ % 1000000, 6, 10, QLatin1Char('0'))
                             .arg(uuid.toString(QUuid::Id128));
    QSaveFile file(QDir(folder).filePath(name));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(json.data(), qint64(json.size())) != qint64(json.size()) || !file.commit())
        return id;
    const QByteArray bytes = uuid.toRfc4122();
    std::memcpy(id.bytes, bytes.constData(), sizeof(id.bytes));
    return id;
}

} // extern "C"
