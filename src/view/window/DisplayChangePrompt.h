#pragma once

class QWidget;

// The question asked when a screen's DPI changes: restart now, or later. One at a time in the whole
// process; after "Restart Now" none is asked again, since the application is about to restart.
class DisplayChangePrompt
{
public:
    // Asks, unless a prompt is open or the user said not to ask again; true when the user chose to
    // restart now. Runs a nested modal loop.
    static bool ask(QWidget* parent);
    static bool isOpen();
};
