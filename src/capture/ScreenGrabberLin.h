#pragma once

#include "capture/ScreenGrabber.h"

// X11: reads every screen directly from the X server.
class ScreenGrabberLin : public ScreenGrabber
{
    Q_OBJECT

public:
    using ScreenGrabber::ScreenGrabber;

protected slots:
    void grabScreens() override;
};
