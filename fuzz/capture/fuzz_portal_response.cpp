// What the portal sends back: the "uri" of its file and the unique name that our request path is made of.
#include "capture/ScreenGrabberLinWayland.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QString path = ScreenGrabberLinWayland::localFileFromUri(text);
    // A local path is absolute or nothing.
    if (!path.isEmpty() && !path.startsWith(QLatin1Char('/')))
        __builtin_trap();
    const QString request = ScreenGrabberLinWayland::requestPath(text, QStringLiteral("u1"));
    if (!request.startsWith(QStringLiteral("/org/freedesktop/portal/desktop/request/")))
        __builtin_trap();
    return 0;
}
