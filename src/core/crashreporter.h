#pragma once

#include <QString>

namespace utils {

// Starts crash reporting: records go to the "sentry" folder in the logs folder, tagged with the
// release and the source revision; then sets the user. Called once, by main.
void initCrashReporter();

// The user of later records: the signed-in account's e-mail, empty when signed out.
void setCrashReporterUser();

// Stores one error-level message event; callable from any thread.
void reportMessage(const QString& text);

// Ends crash reporting; main's last step.
void shutdownCrashReporter();

} // namespace utils
