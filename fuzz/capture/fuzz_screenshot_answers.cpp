// Whatever the screenshot services hand back: KWin's stream, the picture files of GNOME Shell and the
// portal, the portal's "uri" and the unique name our request path is made of. Each ends in a picture,
// a null or an empty path, never in a crash nor a picture of a size no desktop has.
#include "capture/ScreenGrabberLinKdeWayland.h"
#include "capture/ScreenGrabberLinWayland.h"
#include "capture/pictureReading.h"

#include <QBuffer>
#include <QGuiApplication>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The product decodes only once its application object exists; some image plugins need one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}); // every refusal logs
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    for (const QImage& image :
         {ScreenGrabberLinKdeWayland::decodeImage(bytes), utils::capture::readPicture(&file)})
        if (qint64(image.width()) * image.height() > utils::capture::kMaximumPicturePixels)
            __builtin_trap();
    const QString text = QString::fromUtf8(bytes);
    const QString path = ScreenGrabberLinWayland::localFileFromUri(text);
    if (!path.isEmpty() && !path.startsWith(QLatin1Char('/')))
        __builtin_trap();
    if (!ScreenGrabberLinWayland::requestPath(text, "u1")
             .startsWith("/org/freedesktop/portal/desktop/request/"))
        __builtin_trap();
    return 0;
}
