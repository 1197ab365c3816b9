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

QeltsContainer container(nullptr);
QeltImageIndex imageIndex;
DownloadedImageInfoList imageList;

// Whether the reader picked by `kind` read the device, and how many records it holds.
std::pair<bool, int> read(int kind, QIODevice* device)
{
    if (kind == 0) {
        container.clear();
        const bool ok = container.read(device) == QeltsContainer::ReadResult::Ok;
        return {ok, ok || container.count() == 0 ? int(container.count()) : -1};
    }
    if (kind == 1) {
        imageIndex.clear();
        return {imageIndexFile::read(device, imageIndex) == imageIndexFile::ReadResult::Ok,
                imageIndex.size()};
    }
    QDataStream in(device);
    in >> imageList;
    const bool ok = in.status() == QDataStream::Ok;
    return {ok, ok || imageList.isEmpty() ? imageList.size() : -1};
}

bool write(int kind, QIODevice* device)
{
    if (kind == 0)
        return container.write(device);
    if (kind == 1)
        return imageIndexFile::write(device, imageIndex);
    QDataStream out(device);
    out << imageList;
    return out.status() == QDataStream::Ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int kind = data[0] % 3;
    QByteArray bytes(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    const auto [ok, count] = read(kind, &in);
    if (count < 0)
        std::abort(); // a failed read kept records
    QBuffer out;
    out.open(QIODevice::ReadWrite);
    if (ok && (!write(kind, &out) || !out.seek(0) || read(kind, &out) != std::make_pair(true, count)))
        std::abort();
    return 0;
}
