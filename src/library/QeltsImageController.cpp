#include "library/QeltsImageController.h"

#include "core/paths.h"
#include "library/ImageDownloader.h"
#include "library/imageFiles.h"
#include "library/savedFile.h"
#include "model/ZorvaneQelt.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QThread>

QeltsImageController::QeltsImageController(QObject* parent)
    : QObject(parent), m_downloader(new ImageDownloader), m_thread(new QThread(this))
{
    m_downloader->moveToThread(m_thread);
    m_thread->start();
    connect(this, &QeltsImageController::downloadImage, m_downloader, &ImageDownloader::download,
            Qt::QueuedConnection);
    connect(m_downloader, &ImageDownloader::downloadFinished, this, &QeltsImageController::onDownloadFinished,
            Qt::QueuedConnection);
    connect(m_downloader, &ImageDownloader::syncStateChanged, this, &QeltsImageController::syncStateChanged,
            Qt::QueuedConnection);
}

QeltsImageController::~QeltsImageController()
{
    m_downloader->deleteLater();
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

QString QeltsImageController::indexFilePath()
{
    const QString state = utils::usableStatePath();
    return state.isEmpty() ? QString() : state + QStringLiteral("/images.dat");
}

void QeltsImageController::addQelt(const std::shared_ptr<ZorvaneQelt>& qelt, const QPixmap& original)
{
    if (m_index.contains(qelt->id)) {
        updateQelt(qelt);
        return;
    }
    QeltImageRecord record;
    record.originalUrl = qelt->originalImageUrl;
    record.renderedUrl = qelt->renderedImageUrl;
    record.renderedList.clear();
    record.originalList.clear();
    record.originalFull.clear();
    // Without a folder for images the picture is kept nowhere; that fault was logged once already.
    const QString path = original.isNull() ? QString() : utils::newImagePath();
    if (!path.isEmpty()) {
        if (original.save(path, "PNG"))
            record.originalFull = ImageEntry{path, original.size()};
        else
            qCritical("Failed to save image to file: %s", qPrintable(path));
    }
    m_index.insert(qelt->id, record);
}

void QeltsImageController::updateQelt(const std::shared_ptr<ZorvaneQelt>& qelt)
{
    auto it = m_index.find(qelt->id);
    if (it == m_index.end())
        return;
    if (qelt->originalImageUrl != it->originalUrl || it->originalList.isMissing() ||
        it->originalFull.isMissing()) {
        it->originalUrl = qelt->originalImageUrl;
        it->originalList.clear();
        it->originalFull.clear();
        it->originalRequested = false;
    }
    if (qelt->renderedImageUrl == it->renderedUrl && !it->renderedList.isMissing())
        return;
    it->renderedUrl = qelt->renderedImageUrl;
    it->renderedList.clear();
    it->renderedRequested = false;
}

void QeltsImageController::removeQelt(const QString& qeltId)
{
    m_index.remove(qeltId);
}

void QeltsImageController::clear()
{
    m_index.clear();
}

ImageEntry QeltsImageController::query(const QString& qeltId, const QString& url, bool request, bool original,
                                       ImageEntry QeltImageRecord::*entry)
{
    auto it = m_index.find(qeltId);
    if (it == m_index.end() || url.isEmpty() || url != (original ? it->originalUrl : it->renderedUrl))
        return ImageEntry{QString(), QSize(-1, -1)};
    bool& requested = original ? it->originalRequested : it->renderedRequested;
    if (request && !requested) {
        requested = true;
        emit downloadImage(qeltId, url, original);
    }
    return (*it).*entry;
}

ImageEntry QeltsImageController::originalListImage(const QString& qeltId, const QString& url, bool request)
{
    return query(qeltId, url, request, true, &QeltImageRecord::originalList);
}

ImageEntry QeltsImageController::renderedListImage(const QString& qeltId, const QString& url, bool request)
{
    return query(qeltId, url, request, false, &QeltImageRecord::renderedList);
}

ImageEntry QeltsImageController::originalImage(const QString& qeltId, const QString& url, bool request)
{
    return query(qeltId, url, request, true, &QeltImageRecord::originalFull);
}

void QeltsImageController::reloadOriginalImage(const QString& qeltId)
{
    auto it = m_index.find(qeltId);
    if (it != m_index.end() && !it->originalRequested && !it->originalUrl.isEmpty()) {
        it->originalRequested = true;
        emit downloadImage(qeltId, it->originalUrl, true);
    }
}

void QeltsImageController::reloadRenderedImage(const QString& qeltId)
{
    auto it = m_index.find(qeltId);
    if (it != m_index.end() && !it->renderedRequested && !it->renderedUrl.isEmpty()) {
        it->renderedRequested = true;
        emit downloadImage(qeltId, it->renderedUrl, false);
    }
}

bool QeltsImageController::isSyncing() const
{
    return m_downloader->isSyncing();
}

void QeltsImageController::onDownloadFinished(const QString& qeltId, const QString& url,
                                              const DownloadedImageInfoList& images)
{
    auto it = m_index.find(qeltId);
    if (it == m_index.end())
        return;
    if (url == it->originalUrl) {
        for (const DownloadedImageInfo& info : images) {
            if (info.kind == DownloadedImageInfo::FullSize) {
                it->originalFull = ImageEntry{info.fileName, info.size};
                emit imageOriginDownloaded(qeltId, url, info.fileName);
            } else {
                it->originalList = ImageEntry{info.fileName, info.size};
                emit imageForListDownloaded(qeltId);
            }
            // A receiver may have changed the index.
            it = m_index.find(qeltId);
            if (it == m_index.end())
                return;
        }
    } else if (url == it->renderedUrl && images.size() == 1) {
        it->renderedList = ImageEntry{images.first().fileName, images.first().size};
        emit imageForListDownloaded(qeltId);
    }
}

void QeltsImageController::loadIndex()
{
    m_index.clear();
    QString path = indexFilePath();
    // A data folder that cannot be written still shows what it holds, and loses none of it.
    const bool writable = !path.isEmpty();
    if (!writable) {
        const QString state = utils::readableStatePath();
        path = state.isEmpty() ? QString() : state + QStringLiteral("/images.dat");
    }
    if (path.isEmpty())
        return; // no data folder at all: nothing to read, and no image folder to clean
    // Made when missing, and cleaned only where files can be deleted.
    const bool deleting = writable && !utils::imagesFolder().isEmpty();
    const QString folder = utils::readableImagesFolder();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "[QeltsImageController]"
                             << "Can't read images list from disk."
                             << "Failed to open file for reading:" << path;
    } else {
        qint32 version = 0;
        QeltImageIndex read;
        switch (imageIndexFile::read(&file, read, folder, &version)) {
        case imageIndexFile::ReadResult::Ok:
            m_index = read;
            break;
        case imageIndexFile::ReadResult::Truncated:
            qWarning().noquote() << "[QeltsImageController] Images list cut short; keeping" << read.size()
                                 << "records";
            m_index = read;
            break;
        case imageIndexFile::ReadResult::NoVersion:
        case imageIndexFile::ReadResult::WrongVersion:
            qInfo().noquote() << "[QeltsImageController]"
                              << "Images list file version mismatch."
                              << "File version:" << version << "."
                              << "Current version:" << imageIndexFile::kVersion << "."
                              << "Skipping file";
            break;
        }
    }
    removeUnknownFiles(folder, deleting);
}

void QeltsImageController::removeUnknownFiles(const QString& folder, bool deleting)
{
    if (folder.isEmpty())
        return; // without a folder every entry was read as missing
    // Entries name files directly in the folder, as the listing does.
    QSet<QString> files;
    const QFileInfoList found =
        QDir(folder).entryInfoList({QStringLiteral("*.png")}, QDir::Files | QDir::NoSymLinks | QDir::Hidden);
    for (const QFileInfo& info : found) {
        // Only the files we named; a PNG someone else put here is not ours to delete.
        if (utils::isOwnImageFileName(info.fileName()))
            files.insert(folder + QLatin1Char('/') + info.fileName());
    }
    for (QeltImageRecord& record : m_index) {
        for (ImageEntry* entry : {&record.renderedList, &record.originalList, &record.originalFull}) {
            if (entry->isMissing() || !files.remove(entry->file))
                entry->clear();
        }
    }
    if (!deleting)
        return; // a folder that cannot be written keeps what no record names
    for (const QString& path : qAsConst(files)) {
        if (!QFile::remove(path))
            qWarning().noquote() << "Failed to remove the file:" << path;
    }
}

bool QeltsImageController::forgetUnreadableFile(const QString& qeltId, const QString& path)
{
    auto it = m_index.find(qeltId);
    if (it == m_index.end() || path.isEmpty())
        return false;
    bool original = false, rendered = false;
    for (ImageEntry* entry : {&it->originalList, &it->originalFull}) {
        if (entry->file == path) {
            original = true;
            entry->clear();
        }
    }
    if (it->renderedList.file == path) {
        rendered = true;
        it->renderedList.clear();
    }
    if (!original && !rendered)
        return false;
    qWarning().noquote() << "[QeltsImageController] Image file cannot be read; it is downloaded again:"
                         << path;
    // Ours and useless: no record names it now. In a folder that cannot be written it stays until the
    // next clean-up that can.
    if (utils::isOwnImageFileName(QFileInfo(path).fileName()) && !utils::imagesFolder().isEmpty())
        QFile::remove(path);
    if (original) {
        it->originalRequested = false;
        reloadOriginalImage(qeltId);
    }
    if (rendered) {
        it = m_index.find(qeltId);
        it->renderedRequested = false;
        reloadRenderedImage(qeltId);
    }
    return true;
}

void QeltsImageController::saveIndex()
{
    const QeltImageIndex& index = m_index;
    if (indexFilePath().isEmpty())
        return;
    utils::saveFile(
        indexFilePath(), [&index](QIODevice* device) { return imageIndexFile::write(device, index); },
        QStringLiteral("[QeltsImageController]"), QStringLiteral("images list"));
}
