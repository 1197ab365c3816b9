#include "signals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace crashreport {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
constexpr int kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);
// Room for the handler on an overflowed stack.
constexpr size_t kAltStackSize = 64 * 1024;

struct Context
{
    std::string folder;
    std::string members;
};

// Everything the handler reads is reached through these atomics and never changes once published;
// replaced contexts are kept until the handlers are removed, as a handler may still be reading one.
std::atomic<const Context*> g_context{nullptr};
// Which fatal signal is being recorded: none yet, the first one's record being written, or written.
enum Handling { kIdle = 0, kWriting = 1, kWritten = 2 };
std::atomic<int> g_handling{kIdle};
// How long a thread that crashes during another's record waits before it ends the process anyway.
constexpr long kWaitSliceNs = 10 * 1000 * 1000;
constexpr int kWaitSlices = 200;
std::mutex g_mutex;
std::vector<const Context*> g_retired;
std::string g_folder;
std::string g_members;
bool g_installed = false;
struct sigaction g_previous[kSignalCount];
void* g_altStack = nullptr;

// Async-signal-safe text building into a fixed buffer.
struct Writer
{
    char* buffer;
    size_t capacity;
    size_t length = 0;

    void append(const char* text, size_t size)
    {
        if (length + size > capacity)
            size = capacity - length;
        std::memcpy(buffer + length, text, size);
        length += size;
    }
    void append(const char* text) { append(text, std::strlen(text)); }
    void appendNumber(unsigned long long value, int width = 1)
    {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = char('0' + value % 10);
            value /= 10;
        } while (value > 0 && count < 24);
        for (; count < width; ++count)
            digits[count] = '0';
        while (count > 0)
            append(&digits[--count], 1);
    }
};

const char* signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGABRT:
        return "SIGABRT";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    }
    return "unknown";
}

// UTC date and time from seconds since the epoch, by arithmetic only (no locale, no locks).
void appendIsoTime(Writer& out, long long seconds)
{
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2);
    out.appendNumber((unsigned long long)year, 4);
    out.append("-");
    out.appendNumber((unsigned long long)month, 2);
    out.append("-");
    out.appendNumber((unsigned long long)day, 2);
    out.append("T");
    out.appendNumber((unsigned long long)(rest / 3600), 2);
    out.append(":");
    out.appendNumber((unsigned long long)(rest / 60 % 60), 2);
    out.append(":");
    out.appendNumber((unsigned long long)(rest % 60), 2);
    out.append("Z");
}

void writeCrashRecord(const Context& context, int signal)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);

    char path[4096];
    Writer name{path, sizeof(path) - 8};
    name.append(context.folder.data(), context.folder.size());
    name.append("/");
    name.appendNumber((unsigned long long)now.tv_sec * 1000 + (unsigned long long)now.tv_nsec / 1000000);
    name.append("-");
    name.appendNumber((unsigned long long)getpid());
    name.append("-crash.json");
    const size_t finalLength = name.length;
    name.append(".tmp");
    path[name.length] = '\0';

    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    char head[512];
    Writer record{head, sizeof(head)};
    record.append("{\"kind\":\"crash\",\"level\":\"fatal\",");
    bool ok = write(fd, head, record.length) == ssize_t(record.length);
    ok = ok && write(fd, context.members.data(), context.members.size()) == ssize_t(context.members.size());
    record.length = 0;
    record.append("\"signal\":");
    record.appendNumber((unsigned long long)signal);
    record.append(",\"signal_name\":\"");
    record.append(signalName(signal));
    record.append("\",\"timestamp\":\"");
    appendIsoTime(record, now.tv_sec);
    record.append("\"}\n");
    ok = ok && write(fd, head, record.length) == ssize_t(record.length);
    fsync(fd);
    close(fd);

    char finalPath[4096];
    std::memcpy(finalPath, path, finalLength);
    finalPath[finalLength] = '\0';
    // A record that could not be written whole is not published.
    if (ok)
        rename(path, finalPath);
    else
        unlink(path);
}

void restorePrevious(int signal)
{
    for (int i = 0; i < kSignalCount; ++i) {
        if (kSignals[i] == signal) {
            sigaction(signal, &g_previous[i], nullptr);
            return;
        }
    }
    ::signal(signal, SIG_DFL);
}

void handleSignal(int signal, siginfo_t*, void*)
{
    const int savedErrno = errno;
    // Only the first fatal signal writes a record. Another thread crashing meanwhile must not end the
    // process under the writer's feet, so it waits (bounded, should the writer itself be stuck).
    int state = kIdle;
    if (g_handling.compare_exchange_strong(state, kWriting)) {
        if (const Context* context = g_context.load())
            writeCrashRecord(*context, signal);
        g_handling = kWritten;
    } else {
        const timespec slice{0, kWaitSliceNs};
        for (int i = 0; i < kWaitSlices && g_handling.load() == kWriting; ++i)
            nanosleep(&slice, nullptr);
    }
    restorePrevious(signal);
    errno = savedErrno;
    // Delivered again once this handler returns (a fault simply repeats), now with the earlier disposition.
    raise(signal);
}

void publish()
{
    auto* context = new Context{g_folder, g_members};
    if (const Context* old = g_context.exchange(context))
        g_retired.push_back(old);
}

} // namespace

void installSignalHandlers(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_folder = folder;
    publish();
    if (g_installed)
        return;
    g_handling = kIdle;
    if (!g_altStack) {
        g_altStack = std::malloc(kAltStackSize);
        stack_t stack{};
        stack.ss_sp = g_altStack;
        stack.ss_size = kAltStackSize;
        sigaltstack(&stack, nullptr);
    }
    struct sigaction action = {};
    action.sa_sigaction = handleSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i], &action, &g_previous[i]);
    g_installed = true;
}

void removeSignalHandlers()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_installed) {
        for (int i = 0; i < kSignalCount; ++i)
            sigaction(kSignals[i], &g_previous[i], nullptr);
        g_installed = false;
    }
    if (const Context* old = g_context.exchange(nullptr))
        g_retired.push_back(old);
    for (const Context* context : g_retired)
        delete context;
    g_retired.clear();
    g_members.clear();
}

void setCrashContext(const std::string& members)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_members = members;
    if (g_installed)
        publish();
}

} // namespace crashreport
