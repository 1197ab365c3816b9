#pragma once

namespace zq::test {

// Runs this test process again inside a session bus of its own (dbus-run-session), so that the fake
// services it starts own their names undisturbed by other tests. Call first in main; returns only in
// the process that runs on the private bus.
void runOnPrivateSessionBus(int argc, char* argv[]);

} // namespace zq::test
