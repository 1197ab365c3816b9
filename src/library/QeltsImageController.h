#pragma once

#include "library/DownloadedImageInfo.h"
#include "library/QeltImageRecord.h"

#include <QObject>
#include <QPixmap>
#include <QString>

#include <memory>

class ImageDownloader;
class QThread;
class ZorvaneQelt;

// Which image files exist for each Qelt of one controller: asks its downloader (in a worker thread of
// its own) for what is missing, records what arrives, and keeps the index in "images.dat" across runs.
class QeltsImageController : public QObject
{
    Q_OBJECT

public:
    explicit QeltsImageController(QObject* parent = nullptr);
    ~QeltsImageController() override;

    void addQelt(const std::shared_ptr<ZorvaneQelt>& qelt, const QPixmap& original);
    void updateQelt(const std::shared_ptr<ZorvaneQelt>& qelt);
    void removeQelt(const QString& qeltId);
    void clear();

    ImageEntry originalListImage(const QString& qeltId, const QString& url, bool request);
    ImageEntry renderedListImage(const QString& qeltId, const QString& url, bool request);
    ImageEntry originalImage(const QString& qeltId, const QString& url, bool request);
    void reloadOriginalImage(const QString& qeltId);
    void reloadRenderedImage(const QString& qeltId);
    // A file of this Qelt's record that does not decode: its entry is cleared, the file removed and the
    // image asked for again. False when the record names no such file (another controller's, say).
    bool forgetUnreadableFile(const QString& qeltId, const QString& path);

    bool isSyncing() const;

    // Reads the index, then deletes the image files that no record names.
    void loadIndex();
    void saveIndex();

    // "images.dat" in the state folder; empty without a data folder.
    static QString indexFilePath();
    const QeltImageIndex& index() const { return m_index; }
    ImageDownloader* downloader() const { return m_downloader; }

signals:
    void downloadImage(QString qeltId, QString url, bool saveAdditional);
    void imageForListDownloaded(QString qeltId);
    void imageOriginDownloaded(QString qeltId, QString url, QString file_name);
    void syncStateChanged();

private:
    void onDownloadFinished(const QString& qeltId, const QString& url, const DownloadedImageInfoList& images);
    ImageEntry query(const QString& qeltId, const QString& url, bool request, bool original,
                     ImageEntry QeltImageRecord::*entry);
    // Clears the entries whose files are not in `folder`; with `deleting`, removes our files there that
    // no entry names.
    void removeUnknownFiles(const QString& folder, bool deleting);

    QeltImageIndex m_index;
    ImageDownloader* m_downloader;
    QThread* m_thread;
};
