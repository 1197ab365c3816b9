#include "library/imageFiles.h"

#include "core/paths.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QUuid>

std::atomic<int> galleryCardWidth{0};

namespace utils {

QString dataFolder()
{
    return usableDataPath();
}

QString imagesFolder()
{
    // Without the state folder no index keeps them, and no clean-up would ever find them again.
    if (usableStatePath().isEmpty())
        return QString();
    return usableFolder(dataFolder() + QStringLiteral("/images"), "Failed to create path for images");
}

QString readableImagesFolder()
{
    const QString data = readableDataPath();
    return data.isEmpty() ? QString() : readableFolder(data + QStringLiteral("/images"));
}

QString newImagePath()
{
    const QString folder = imagesFolder();
    if (folder.isEmpty())
        return QString(); // the folder's fault is logged once, where it was found
    QString path;
    do {
        path =
            folder + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".png");
    } while (QFileInfo::exists(path));
    return path;
}

bool isOwnImageFileName(const QString& fileName)
{
    // Checked for every entry of the index at each start: by hand, not by a regular expression.
    constexpr int kDigits = 32;
    if (fileName.size() != kDigits + 4 || !fileName.endsWith(QLatin1String(".png")))
        return false;
    for (int i = 0; i < kDigits; ++i) {
        const QChar c = fileName.at(i);
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
              (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

QString saveImage(const QImage& image, QSize& size)
{
    const QString path = newImagePath();
    QImage written = image;
    if (size.width() >= 1 && size.height() >= 1 && image.width() > 0 && image.height() > 0) {
        const qint64 heightAtWidth = qint64(image.height()) * size.width() / image.width();
        written = heightAtWidth <= size.height()
                      ? image.scaledToWidth(size.width(), Qt::SmoothTransformation)
                      : image.scaledToHeight(size.height(), Qt::SmoothTransformation);
    }
    size = written.size();
    if (path.isEmpty() || !written.save(path, "PNG")) {
        qCritical("Failed to save image to file: %s", qPrintable(path));
        return QString();
    }
    return path;
}

} // namespace utils
