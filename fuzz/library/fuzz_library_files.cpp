// The library's stored and received forms from arbitrary bytes; the first byte picks the reader: the
// Qelts file, the image index file, the downloaded-image list that crosses threads, a list page of the
// service, a search reply, or the list cursor kept in the settings. Readers must neither crash nor keep
// a record they could not read whole (the sanitizers watch the rest); the stored files keep what was
// read before the damage, and name no file outside the image folder.

#include "library/DownloadedImageInfo.h"
#include "library/QeltImageRecord.h"
#include "library/QeltsContainer.h"
#include "library/QeltsController.h"
#include "library/QeltsListDownloader.h"
#include "library/searchReply.h"

#include <QBuffer>
#include <QDataStream>
#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    QByteArray bytes(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    switch (data[0] % 6) {
    case 0: {
        QeltsContainer container(nullptr);
        const QeltsContainer::ReadResult result = container.read(&device);
        if (result != QeltsContainer::ReadResult::Ok && result != QeltsContainer::ReadResult::InvalidRecord &&
            container.count() != 0)
            std::abort();
        for (const ZorvaneQeltPtr& qelt : container.all()) {
            if (!qelt->isValid())
                std::abort();
        }
        break;
    }
    case 1: {
        const QString folder = QStringLiteral("/data/images");
        QeltImageIndex index;
        imageIndexFile::read(&device, index, folder);
        for (const QeltImageRecord& record : qAsConst(index)) {
            for (const ImageEntry* entry :
                 {&record.renderedList, &record.originalList, &record.originalFull}) {
                if (!entry->file.isEmpty() && (!entry->file.startsWith(folder + QLatin1Char('/')) ||
                                               entry->file.count(QLatin1Char('/')) != 3))
                    std::abort();
            }
        }
        break;
    }
    case 2: {
        DownloadedImageInfoList list;
        QDataStream in(&device);
        in >> list;
        if (in.status() != QDataStream::Ok && !list.isEmpty())
            std::abort();
        break;
    }
    case 3: {
        const QeltsListDownloader::Page page = QeltsListDownloader::readPage(bytes);
        if (page.processed != page.qelts.size() + page.deletedIds.size() || page.processed > page.size)
            std::abort();
        for (const ZorvaneQeltPtr& qelt : page.qelts) {
            if (!qelt->isValid() || qelt->id != qelt->id.toLower())
                std::abort();
        }
        break;
    }
    case 4: {
        const SearchReply reply = readSearchReply(QJsonDocument::fromJson(bytes));
        if (reply.total < 0 || reply.total > kMaxSearchResults)
            std::abort();
        for (const ZorvaneQeltPtr& qelt : reply.qelts) {
            if (!qelt || qelt->status == QLatin1String("pending"))
                std::abort();
        }
        break;
    }
    default: {
        const QDateTime cursor = QeltsController::readListCursor(QString::fromUtf8(bytes));
        if (cursor.isValid() && cursor.timeSpec() != Qt::UTC)
            std::abort();
        break;
    }
    }
    return 0;
}
