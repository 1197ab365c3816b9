#include "FakeKWin.h"

#include <QBuffer>
#include <QDataStream>
#include <QImage>
#include <QTimer>

#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

struct Stream
{
    int fd = -1;
    QByteArray data;
    int offset = 0;
    ~Stream() { ::close(fd); }
};

void writeChunk(std::shared_ptr<Stream> stream, int chunk, int pauseMs)
{
    const int end = qMin(stream->offset + chunk, stream->data.size());
    while (stream->offset < end) {
        const ssize_t n =
            ::write(stream->fd, stream->data.constData() + stream->offset, size_t(end - stream->offset));
        if (n <= 0)
            return; // reader gone
        stream->offset += int(n);
    }
    if (stream->offset < stream->data.size())
        QTimer::singleShot(pauseMs, [stream, chunk, pauseMs] { writeChunk(stream, chunk, pauseMs); });
}

} // namespace

void FakeKWin::screenshotFullscreen(const QDBusUnixFileDescriptor& fd, bool captureCursor)
{
    record(QStringLiteral("kwin"), QStringLiteral("screenshotFullscreen"), {fd.isValid(), captureCursor});
    auto stream = std::make_shared<Stream>();
    stream->fd = ::dup(fd.fileDescriptor());
    ::fcntl(stream->fd, F_SETFL, ::fcntl(stream->fd, F_GETFL) & ~O_NONBLOCK);
    if (script.kwinEmpty)
        return;
    if (script.kwinGarbage) {
        stream->data = QByteArray("\x00\x00\x00\x01not an image at all", 22);
    } else {
        QDataStream out(&stream->data, QIODevice::WriteOnly);
        out << QImage(script.image);
    }
    // The reply goes out first, as KWin answers at once and writes afterwards.
    QTimer::singleShot(0, [stream, chunk = script.kwinChunk, pause = script.kwinPauseMs] {
        writeChunk(stream, chunk, pause);
    });
}
