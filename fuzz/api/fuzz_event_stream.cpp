// Feeds the chat answer stream reader arbitrary bytes in arbitrary chunks, as a network reply
// delivers them, and checks that only complete lines are consumed.

#include "api/eventStream.h"

#include <QIODevice>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// A sequential device that receives its data in pieces, like a reply between two readyRead signals.
class ChunkDevice : public QIODevice
{
public:
    ChunkDevice() { open(QIODevice::ReadOnly); }
    void append(const QByteArray& chunk) { pending.append(chunk); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return pending.size() + QIODevice::bytesAvailable(); }
    bool canReadLine() const override { return pending.contains('\n') || QIODevice::canReadLine(); }

    QByteArray pending;

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = qMin<qint64>(maxSize, pending.size());
        std::memcpy(data, pending.constData(), size_t(count));
        pending.remove(0, int(count));
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the chunk length, so that one input explores one chunking.
    const size_t chunk = size_t(data[0] % 64) + 1;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), int(size - 1));

    ChunkDevice device;
    for (int at = 0; at < stream.size(); at += int(chunk)) {
        device.append(stream.mid(at, int(chunk)));
        const QByteArray payload = ZorvaneAPI::eventStream::takeLastPayload(device);
        if (!payload.isEmpty() && !stream.contains(payload))
            std::abort();
        const auto answer = ZorvaneAPI::eventStream::parseAnswer(payload);
        if (answer.error != ZorvaneAPI::eventStream::PayloadError::None && !answer.text.isEmpty())
            std::abort();
        if (device.canReadLine())
            std::abort();
    }
    // Whatever follows the last line break is all that may stay unread.
    const int lastBreak = stream.lastIndexOf('\n');
    if (device.readAll() != stream.mid(lastBreak + 1))
        std::abort();
    return 0;
}
