// The library's stored and received forms from arbitrary bytes; the first byte picks the reader: the
// Qelts file, the image index file, the downloaded-image list that crosses threads, or a list page of
// the service. Readers must
// neither crash nor keep records from a read they report as failed (the sanitizers watch the rest).

#include "library/DownloadedImageInfo.h"
#include "library/QeltImageRecord.h"
#include "library/QeltsContainer.h"
#include "library/QeltsListDownloader.h"

#include <QBuffer>
#include <QDataStream>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    QByteArray bytes(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    if (data[0] % 4 == 3) {
        const QeltsListDownloader::Page page = QeltsListDownloader::readPage(bytes);
        if (page.processed != page.qelts.size() + page.deletedIds.size() || page.processed > page.size)
            std::abort();
        for (const ZorvaneQeltPtr& qelt : page.qelts) {
            if (!qelt->isValid() || qelt->id != qelt->id.toLower())
                std::abort();
        }
    } else if (data[0] % 4 == 0) {
        QeltsContainer container(nullptr);
        if (container.read(&device) != QeltsContainer::ReadResult::Ok && container.count() != 0)
            std::abort();
    } else if (data[0] % 4 == 1) {
        QeltImageIndex index;
        imageIndexFile::read(&device, index);
    } else {
        DownloadedImageInfoList list;
        QDataStream in(&device);
        in >> list;
        if (in.status() != QDataStream::Ok && !list.isEmpty())
            std::abort();
    }
    return 0;
}
