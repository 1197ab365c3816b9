#include "core/settings.h"

#include "core/paths.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QSettings>

#include <csignal>
#include <exception>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kCurrentSettingsVersion = 1;
// A settings file parses in milliseconds; a child still busy after this long is left undecided.
constexpr int kParseCheckMs = 3000;

enum class Parse { Readable, Unreadable, Undecided };

// Some values make Qt die rather than throw: a stored polygon claiming thousands of millions of points
// meets a failed allocation that QtGui does not check. So a child process parses the file first and
// dies in our place. A child that cannot be made, or hangs (on a lock another thread held when it was
// forked, say), decides nothing: the file is then only parsed here, as before.
Parse parseInChild()
{
    const pid_t child = fork();
    if (child < 0)
        return Parse::Undecided;
    if (child == 0) {
        // The crash reporter's handlers must not report this parse as a crash of the application.
        for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
            std::signal(signal, SIG_DFL);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        int code = 0;
        try {
            (void)QSettings().allKeys();
        } catch (...) {
            code = 1;
        }
        _exit(code);
    }
    int status = 0;
    for (int waited = 0; waited < kParseCheckMs * 10; ++waited) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Parse::Readable : Parse::Unreadable;
        if (done < 0)
            return Parse::Undecided;
        usleep(100);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return Parse::Undecided;
}

// Said again once the log file is open: the settings are read before it is.
QString g_note;

// A value Qt cannot load (a list claiming thousands of millions of entries, say) throws from every read
// that parses its section and from every write, which parses them all, or ends the process. A file
// that does not parse at all (garbage, a cut-off line) would read as nearly empty and be written over
// with defaults by the first write. Either is moved aside, so the application starts with defaults and
// the user's old file is still there to recover from.
void setAsideUnreadableSettings()
{
    QString path;
    if (parseInChild() != Parse::Unreadable) {
        QSettings settings;
        path = settings.fileName();
        try {
            // Sections are parsed when first needed; listing every key parses them all.
            (void)settings.allKeys();
            if (settings.status() == QSettings::AccessError) {
                // Left as it is: nothing can be written over it either, and it is whole once it can be read.
                g_note = QStringLiteral("[settings] Settings file cannot be read; starting with defaults: ") +
                         path;
                qWarning().noquote() << g_note;
            }
            if (settings.status() != QSettings::FormatError)
                return;
        } catch (const std::exception&) {
        }
    } else {
        path = QSettings().fileName();
    }
    const QString aside = utils::setAside(path);
    g_note = aside.isEmpty()
                 ? QStringLiteral("[settings] Unreadable settings file could not be moved aside: ") + path
                 : QStringLiteral("[settings] Unreadable settings file moved to ") + aside;
    qWarning().noquote() << g_note;
}

} // namespace

namespace utils {

void migrateSettings()
{
    migrateSettings(&migrateSettingsFromVersion);
}

void migrateSettings(const std::function<bool(int)>& step)
{
    setAsideUnreadableSettings();
    const int version = kKeySettingsVersion.get();
    if (version >= kCurrentSettingsVersion)
        return;
    bool migrated = false;
    try {
        migrated = step(version);
    } catch (const std::exception&) {
        qWarning("Settings migration failed");
        return;
    }
    // A step that gives up is tried again at the next start.
    if (migrated)
        kKeySettingsVersion.set(kCurrentSettingsVersion);
}

QString settingsNote()
{
    return g_note;
}

bool migrateSettingsFromVersion(int)
{
    // Nothing was ever renamed or converted on this platform.
    return true;
}

} // namespace utils
