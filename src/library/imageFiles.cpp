#include "library/imageFiles.h"

#include "core/paths.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
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
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{32}\\.png$"));
    return pattern.match(fileName).hasMatch();
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
