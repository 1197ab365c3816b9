#include "core/settings.h"

#include "core/paths.h"

#include <QDateTime>
#include <QDebug>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kCurrentSettingsVersion = 1;
// A settings file of ours parses in milliseconds within a few megabytes. A stored value may claim far more
// (a polygon of hundreds of millions of points, which Qt then appends one by one for many seconds): the
// child that parses the file is held to these, and one that runs out of them has met a damaged file.
constexpr rlim_t kParseMemoryBytes = 256 * 1024 * 1024;
constexpr rlim_t kParseCpuSeconds = 2;
// A child that has neither ended nor been stopped by its limits by then is not parsing: it hangs.
constexpr qint64 kParseHangMs = 10000;

enum class Parse { Readable, Unreadable, Undecided };

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// Address space from here on, above what the process has mapped already (which a sanitizer's reserved
// shadow makes huge), and processor time.
void limitChild()
{
    rlim_t mapped = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        unsigned long pages = 0;
        if (std::fscanf(statm, "%lu", &pages) == 1)
            mapped = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE));
        std::fclose(statm);
    }
    if (mapped > 0) {
        const rlimit memory{mapped + kParseMemoryBytes, mapped + kParseMemoryBytes};
        setrlimit(RLIMIT_AS, &memory);
    }
    // SIGXCPU at the soft limit, SIGKILL at the hard one.
    const rlimit cpu{kParseCpuSeconds, kParseCpuSeconds + 1};
    setrlimit(RLIMIT_CPU, &cpu);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
}

// Some values make Qt die rather than throw (a stored polygon claiming thousands of millions of points meets
// a failed allocation that QtGui does not check), others make it work for a long time on gigabytes. So a
// child process parses the file first, within limits, and dies or fails in our place. The start forks it
// before the application object exists, while no other thread runs; a child forked later (tests) could hang
// on a lock that another thread held at the fork, and then decides nothing.
// Fuzzing learns from the values the code compares, and a process id is new on every run: this function's
// comparisons are kept from it, so that a fuzz run repeats.
#ifdef __clang__
#define ZQ_HIDDEN_FROM_FUZZING __attribute__((no_sanitize("coverage")))
#else
#define ZQ_HIDDEN_FROM_FUZZING
#endif

ZQ_HIDDEN_FROM_FUZZING Parse parseInChild()
{
    // The child's end of the pipe closes when it ends, however it ends: the wait needs no polling.
    int ended[2];
    if (pipe2(ended, O_CLOEXEC) != 0)
        return Parse::Undecided;
    const pid_t child = fork();
    if (child < 0) {
        close(ended[0]);
        close(ended[1]);
        return Parse::Undecided;
    }
    if (child == 0) {
        close(ended[0]);
        // The crash reporter's handlers must not report this parse as a crash of the application.
        for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGXCPU})
            std::signal(signal, SIG_DFL);
        qInstallMessageHandler(quiet);
        limitChild();
        int code = 0;
        try {
            QSettings settings;
            (void)settings.allKeys();
            code = settings.status() == QSettings::FormatError ? 1 : 0;
        } catch (...) {
            code = 1;
        }
        _exit(code);
    }
    close(ended[1]);
    QElapsedTimer waiting;
    waiting.start();
    pollfd end{ended[0], POLLIN, 0};
    int ready = 0;
    do {
        const qint64 left = kParseHangMs - waiting.elapsed();
        ready = left > 0 ? poll(&end, 1, int(left)) : 0;
    } while (ready < 0 && errno == EINTR);
    close(ended[0]);
    int status = 0;
    if (ready <= 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        return Parse::Undecided;
    }
    if (waitpid(child, &status, 0) != child)
        return Parse::Undecided;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Parse::Readable : Parse::Unreadable;
}

// Said again once the log file is open: the settings are read before it is.
QString g_note;
// The settings file checked in this process, so that the start's early check is not made twice.
QString g_checked;

void note(const QString& text)
{
    g_note = text;
    qWarning().noquote() << g_note;
}

// When the check decides nothing, parsing the file here could meet what the child could not get through;
// moving it aside could lose a good file. So it stays untouched, and this run keeps its settings in a
// folder of its own that goes with it.
void useSettingsOfThisRunOnly(const QString& path)
{
    static QTemporaryDir folder;
    if (!folder.isValid()) {
        note(QStringLiteral("[settings] Settings file could not be checked and is read as it is: ") + path);
        return;
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
    note(QStringLiteral("[settings] Settings file could not be checked; starting with defaults and "
                        "leaving it as it is: ") +
         path);
}

// A value Qt cannot load (a list claiming thousands of millions of entries, say) throws from every read
// that parses its section and from every write, which parses them all, or ends the process. A file
// that does not parse at all (garbage, a cut-off line) would read as nearly empty and be written over
// with defaults by the first write. Either is moved aside, so the application starts with defaults and
// the user's old file is still there to recover from.
void setAsideUnreadableSettings()
{
    // The child is the first here to open the file: Qt keeps a file it has read, and reports a file that
    // does not parse only to the first settings object that reads it.
    const Parse parse = parseInChild();
    QSettings settings;
    const QString path = settings.fileName();
    g_checked = path;
    if (parse == Parse::Undecided) {
        useSettingsOfThisRunOnly(path);
        return;
    }
    if (parse == Parse::Readable) {
        try {
            // Sections are parsed when first needed; listing every key parses them all.
            (void)settings.allKeys();
            if (settings.status() == QSettings::AccessError) {
                // Left as it is: nothing can be written over it either, and it is whole once it can be read.
                note(QStringLiteral("[settings] Settings file cannot be read; starting with defaults: ") +
                     path);
            }
            if (settings.status() != QSettings::FormatError)
                return;
        } catch (const std::exception&) {
        }
    }
    const QString aside = utils::setAside(path);
    note(aside.isEmpty()
             ? QStringLiteral("[settings] Unreadable settings file could not be moved aside: ") + path
             : QStringLiteral("[settings] Unreadable settings file moved to ") + aside);
}

} // namespace

namespace utils {

void migrateSettings()
{
    migrateSettings(&migrateSettingsFromVersion);
}

void checkSettingsFile()
{
    setAsideUnreadableSettings();
}

void migrateSettings(const std::function<bool(int)>& step)
{
    if (g_checked.isNull() || g_checked != QSettings().fileName())
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
