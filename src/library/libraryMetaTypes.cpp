#include "library/libraryMetaTypes.h"

#include "library/DownloadedImageInfo.h"

#include <QMetaType>

namespace utils {

void registerLibraryMetaTypes()
{
    qRegisterMetaType<DownloadedImageInfo>("DownloadedImageInfo");
    qRegisterMetaTypeStreamOperators<DownloadedImageInfo>("DownloadedImageInfo");
    qRegisterMetaType<DownloadedImageInfoList>("DownloadedImageInfoList");
    qRegisterMetaTypeStreamOperators<DownloadedImageInfoList>("DownloadedImageInfoList");
}

} // namespace utils
