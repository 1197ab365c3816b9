// The library's stored and received forms from arbitrary bytes; the first byte picks the reader: the
// Qelts file, the image index file, or the downloaded-image list that crosses threads. A failed read
// keeps nothing, and whatever was read writes back to bytes that read the same.

#include "library/DownloadedImageInfo.h"
#include "library/QeltImageRecord.h"
#include "library/QeltsContainer.h"

#include <QBuffer>
#include <QDataStream>

#include <cstdint>
#include <cstdlib>

namespace {

// Reads with `read`, which gives whether it succeeded and how many records it holds; on success
// writes with `write` and reads that back.
template <typename Read, typename Write> void check(QByteArray bytes, Read read, Write write)
{
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    const auto [ok, count] = read(&in);
    if (!ok)
        return;
    QBuffer out;
    out.open(QIODevice::ReadWrite);
    if (!write(&out) || !out.seek(0) || read(&out) != std::make_pair(true, count))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    QeltsContainer container(nullptr);
    QeltImageIndex index;
    DownloadedImageInfoList list;
    if (data[0] % 3 == 0) {
        check(
            bytes,
            [&](QIODevice* device) {
                container.clear();
                const bool ok = container.read(device) == QeltsContainer::ReadResult::Ok;
                if (!ok && container.count() != 0)
                    std::abort();
                return std::make_pair(ok, int(container.count()));
            },
            [&](QIODevice* device) { return container.write(device); });
    } else if (data[0] % 3 == 1) {
        check(
            bytes,
            [&](QIODevice* device) {
                index.clear();
                const bool ok = imageIndexFile::read(device, index) == imageIndexFile::ReadResult::Ok;
                return std::make_pair(ok, index.size());
            },
            [&](QIODevice* device) { return imageIndexFile::write(device, index); });
    } else {
        check(
            bytes,
            [&](QIODevice* device) {
                QDataStream in(device);
                in >> list;
                if (in.status() != QDataStream::Ok && !list.isEmpty())
                    std::abort();
                return std::make_pair(in.status() == QDataStream::Ok, list.size());
            },
            [&](QIODevice* device) {
                QDataStream out(device);
                out << list;
                return out.status() == QDataStream::Ok;
            });
    }
    return 0;
}
