// Starts the reporter on the given folder, then dies of the given signal.
#include <crashreport.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// Out of the optimiser's sight, so that the fault really happens.
volatile int* volatile g_nowhere = nullptr;

// Several threads fault at once: only one record may be written, and none may be cut short.
int crashTogether()
{
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&go] {
            while (!go.load())
                std::this_thread::yield();
            (void)*g_nowhere;
        });
    }
    go = true;
    for (std::thread& thread : threads)
        thread.join();
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3)
        return 2;
    sentry_options_t* options = sentry_options_new();
    sentry_options_set_database_path(options, argv[1]);
    sentry_options_set_release(options, "child-release");
    if (sentry_init(options) != 0)
        return 3;
    sentry_set_tag("revision", "abc123");
    sentry_value_t user = sentry_value_new_object();
    sentry_value_set_by_key(user, "email", sentry_value_new_string("crash@example.com"));
    sentry_set_user(user);

    const std::string how = argv[2];
    if (how == "segv")
        return *g_nowhere;
    if (how == "abort")
        std::abort();
    if (how == "threads")
        return crashTogether();
    std::raise(how == "fpe" ? SIGFPE : how == "bus" ? SIGBUS : SIGILL);
    return 0;
}
