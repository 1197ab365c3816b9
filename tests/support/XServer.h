#pragma once

#include <QByteArrayList>

#include <sys/types.h>

namespace zq::test {

// Starts the X server `program` with `arguments` and "-displayfd" on a free display, waits until it
// accepts clients, points DISPLAY at it and returns its process id: -1 when it did not start. The
// server ends with this process, also when the process crashes.
pid_t startXServer(const char* program, const QByteArrayList& arguments);

// Ends a server startXServer started.
void stopXServer(pid_t pid);

} // namespace zq::test
