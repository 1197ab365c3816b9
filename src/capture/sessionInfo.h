#pragma once

// TEMPORARY: stands in for utils::systemInfo until the foundation's system information lands;
// then createScreenGrabber reads that instead and this file goes.
namespace utils::capture {

struct Session
{
    bool wayland = false;
    bool gnome = false;
    int gnomeVersion = -1;
};

Session currentSession();

} // namespace utils::capture
