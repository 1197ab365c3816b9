// The bytes that arrive through the KWin pipe: whatever they are, decoding ends with an image or a null.
#include "capture/ScreenGrabberLinKdeWayland.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QImage image =
        ScreenGrabberLinKdeWayland::decodeImage(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    if (!image.isNull() && (image.width() <= 0 || image.height() <= 0))
        __builtin_trap();
    return 0;
}
