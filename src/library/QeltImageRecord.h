#pragma once

#include <QHash>
#include <QSize>
#include <QString>

class QIODevice;

// One image file of a Qelt. Missing until it names a file with a usable size.
struct ImageEntry
{
    QString file; // absolute path of a PNG
    QSize size;

    bool isMissing() const { return file.isEmpty() || size.width() < 1 || size.height() < 1; }
    void clear()
    {
        file = QString();
        size = QSize(0, 0);
    }
};

// What the image index knows of one Qelt's images.
struct QeltImageRecord
{
    ImageEntry renderedList;
    ImageEntry originalList;
    ImageEntry originalFull;
    QString originalUrl; // the download that filled originalList and originalFull
    QString renderedUrl; // the download that filled renderedList
    // Asked of the downloader in this run; never stored.
    bool originalRequested = false;
    bool renderedRequested = false;
};

using QeltImageIndex = QHash<QString, QeltImageRecord>;

// The image index file: version 1, then records (id, the three entries as file and size, the two URLs)
// until the end of the stream. Files are stored by their names in the image folder, so that a data
// folder that was moved or restored elsewhere keeps its images; earlier files named absolute paths.
namespace imageIndexFile {

constexpr qint32 kVersion = 1;

enum class ReadResult { Ok, NoVersion, WrongVersion, Truncated };

// Records go into `index` as they are read, a repeated id replacing the earlier one; a record cut off
// by the end of the data is left out. Each stored file is taken to be in `folder` (see fileIn); without a
// folder every entry reads as missing. `version` receives the version read (0 when none).
ReadResult read(QIODevice* device, QeltImageIndex& index, const QString& folder, qint32* version = nullptr);
// False when the device refused a byte.
bool write(QIODevice* device, const QeltImageIndex& index);

// Where a stored file is now: the file of that name in `folder`, whether it was stored by its name or
// by an absolute path from before, which may name a folder that has moved since. Empty for anything that
// is not a name the image files are given, so that nothing outside the folder is ever read or deleted.
QString fileIn(const QString& folder, const QString& stored);

} // namespace imageIndexFile
