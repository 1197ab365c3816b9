#pragma once

#include <string>

namespace crashreport {

// Installs the handler for SIGSEGV, SIGABRT, SIGBUS, SIGFPE and SIGILL. On a fatal signal it writes a
// crash record into `folder` (which must exist) and then lets the signal's earlier disposition run.
void installSignalHandlers(const std::string& folder);
void removeSignalHandlers();

// The record's fixed members (release, tags, user) as JSON members with a trailing comma; the handler
// adds the kind, signal and time. Replaced whenever they change.
void setCrashContext(const std::string& members);

} // namespace crashreport
