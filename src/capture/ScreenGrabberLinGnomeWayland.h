#pragma once

#include "capture/ScreenGrabber.h"

// GNOME Shell before 41: its screenshot service writes the whole desktop into a PNG file of ours.
// The call blocks the GUI thread until the shell answers.
class ScreenGrabberLinGnomeWayland : public ScreenGrabber
{
    Q_OBJECT

public:
    using ScreenGrabber::ScreenGrabber;

protected slots:
    void grabScreens() override;
};
