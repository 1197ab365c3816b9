#include "view/page/viewGeometry.h"

#include <algorithm>

namespace viewGeometry {

namespace {

constexpr int kSideMargin = 10;
constexpr int kHeightMargin = 16;
constexpr int kMaxHeight = 500;
constexpr int kMinHeight = 100;
constexpr int kScreenReserve = 100;
constexpr int kErrorHeight = 80;

} // namespace

ContentSizing contentSizing(const ContentInfo& info, int screenWidth, int fontSize)
{
    if (info.error)
        return {QSize(screenWidth / 2 - 20, kErrorHeight), 0};
    // A report may be as large as int goes: add in 64 bits.
    const int width = int(std::min<qint64>(qint64(info.width) + 2 * fontSize + kSideMargin,
                                           qint64(screenWidth) - kScreenReserve));
    int height = int(std::min<qint64>(qint64(info.height) + kHeightMargin, kMaxHeight));
    int pad = 0;
    if (height < kMinHeight) {
        pad = (kMinHeight - height) / 2;
        height = kMinHeight;
    }
    return {QSize(width, height), pad};
}

int viewHeight(const ContentSizing& sizing, int room)
{
    return std::max(0, std::min(sizing.size.height() - 2 * sizing.pad, room));
}

int scrollValueFor(int index, int count, int maximum)
{
    if (count <= 1)
        return 0;
    return int(index * (double(maximum) / (count - 1)));
}

int wrap(int index, int count)
{
    if (count <= 0)
        return -1;
    return (index % count + count) % count;
}

} // namespace viewGeometry
