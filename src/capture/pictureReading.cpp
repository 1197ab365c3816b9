#include "capture/pictureReading.h"

#include <QDebug>
#include <QFile>
#include <QImageReader>

namespace utils::capture {

QImage readPicture(QIODevice* device, const QByteArray& format)
{
    QImageReader reader(device, format);
    const QSize size = reader.size();
    if (!size.isValid()) {
        qWarning() << "[ScreenGrabber] Unreadable picture:" << reader.errorString();
        return QImage();
    }
    if (size.width() > kMaximumPictureSide || size.height() > kMaximumPictureSide ||
        qint64(size.width()) * size.height() > kMaximumPicturePixels) {
        qWarning() << "[ScreenGrabber] Refusing a picture of" << size;
        return QImage();
    }
    return reader.read();
}

QImage readPictureFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    return readPicture(&file);
}

} // namespace utils::capture
