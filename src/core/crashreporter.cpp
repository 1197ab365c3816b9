#include "core/crashreporter.h"

#include "core/identity.h"
#include "core/paths.h"
#include "core/userState.h"

#include <crashreport.h>

#ifndef ZQ_CRASH_DSN
#define ZQ_CRASH_DSN ""
#endif
#ifndef ZQ_SOURCE_REVISION
#define ZQ_SOURCE_REVISION "unknown"
#endif

namespace utils {

void initCrashReporter()
{
    sentry_options_t* options = sentry_options_new();
    sentry_options_set_dsn(options, ZQ_CRASH_DSN);
    sentry_options_set_database_path(options,
                                     (logsPath() + QStringLiteral("/sentry")).toLocal8Bit().constData());
    sentry_options_set_release(options, appVersionString().toLocal8Bit().constData());
    sentry_init(options);
    sentry_set_tag("revision", ZQ_SOURCE_REVISION);
    setCrashReporterUser();
}

void setCrashReporterUser()
{
    sentry_value_t user = sentry_value_new_object();
    sentry_value_set_by_key(user, "ip_address", sentry_value_new_string("{{auto}}"));
    sentry_value_set_by_key(user, "email",
                            sentry_value_new_string(authInfo().first.toLocal8Bit().constData()));
    sentry_set_user(user);
}

void reportMessage(const QString& text)
{
    sentry_capture_event(
        sentry_value_new_message_event(SENTRY_LEVEL_ERROR, "custom", text.toLocal8Bit().constData()));
}

void shutdownCrashReporter()
{
    sentry_shutdown();
}

} // namespace utils
