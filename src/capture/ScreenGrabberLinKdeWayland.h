#pragma once

#include "capture/ScreenGrabber.h"

#include <QImage>

#include <chrono>

// KWin: its screenshot service streams the whole desktop through a pipe that we read on a pool thread.
class ScreenGrabberLinKdeWayland : public ScreenGrabber
{
    Q_OBJECT

public:
    using ScreenGrabber::ScreenGrabber;

    // How long the pipe may stay silent before the reading gives up (about 30 s by default).
    void setIdleTimeout(std::chrono::milliseconds timeout) { m_idleTimeout = timeout; }

    // Reads fd to its end, closes it and decodes the image; null after a read error, a silence longer
    // than idleTimeout or undecodable data.
    static QImage readImage(int fd, std::chrono::milliseconds idleTimeout);

    // The image as KWin serialises it (Qt's data-stream form of a QImage); null for anything else.
    static QImage decodeImage(const QByteArray& data);

protected slots:
    void grabScreens() override;

private:
    std::chrono::milliseconds m_idleTimeout{29999};
};
