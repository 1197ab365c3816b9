#include "capture/ScreenGrabberLinKdeWayland.h"

#include "capture/pictureReading.h"

#include <QBuffer>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusUnixFileDescriptor>
#include <QDataStream>
#include <QDebug>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QtConcurrent>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Far beyond any desktop's PNG; a writer that never stops must not take all memory.
constexpr qsizetype kMaximumBytes = qsizetype(1) << 30;

} // namespace

QImage ScreenGrabberLinKdeWayland::readImage(int fd, std::chrono::milliseconds idleTimeout)
{
    QByteArray data;
    bool ok = false;
    QElapsedTimer silence;
    silence.start();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            if (data.size() > kMaximumBytes - n)
                break;
            data.append(buffer, int(n));
            silence.restart();
            continue;
        }
        if (n == 0) {
            ok = true;
            break;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            break;
        const qint64 left = idleTimeout.count() - silence.elapsed();
        if (left <= 0)
            break;
        // Woken by data or by KWin closing its end; the read above tells which.
        pollfd waiting{fd, POLLIN, 0};
        ::poll(&waiting, 1, int(qMin<qint64>(left, 1000)));
    }
    ::close(fd);
    if (!ok) {
        qWarning() << "[ScreenGrabberLinKdeWayland] Reading the screenshot failed after" << data.size()
                   << "bytes";
        return QImage();
    }
    return decodeImage(data);
}

QImage ScreenGrabberLinKdeWayland::decodeImage(const QByteArray& data)
{
    // Qt's data-stream form of an image: a 32-bit marker (0 for a null image) followed by PNG data.
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QDataStream stream(&buffer);
    qint32 marker = 0;
    stream >> marker;
    if (stream.status() != QDataStream::Ok || marker == 0)
        return QImage();
    return utils::capture::readPicture(&buffer, "png");
}

void ScreenGrabberLinKdeWayland::grabScreens()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning() << "[ScreenGrabberLinKdeWayland] Could not create a pipe:" << strerror(errno);
        emit failed();
        return;
    }
    const int readEnd = fds[0];
    const int writeEnd = fds[1];

    {
        // The message carries its own duplicate of the write end; ours must be closed below so that
        // the reader sees the end of the stream when KWin closes its copy.
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.KWin"), QStringLiteral("/Screenshot"),
            QStringLiteral("org.kde.kwin.Screenshot"), QStringLiteral("screenshotFullscreen"));
        call << QVariant::fromValue(QDBusUnixFileDescriptor(writeEnd)) << false;
        QDBusConnection::sessionBus().asyncCall(call);
    }

    auto* watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher] {
        watcher->deleteLater();
        emit finished(splitByScreens(QPixmap::fromImage(watcher->result())));
    });
    watcher->setFuture(QtConcurrent::run(&ScreenGrabberLinKdeWayland::readImage, readEnd, m_idleTimeout));
    ::close(writeEnd);
}
