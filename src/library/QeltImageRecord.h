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
// until the end of the stream.
namespace imageIndexFile {

constexpr qint32 kVersion = 1;

enum class ReadResult { Ok, NoVersion, WrongVersion, Truncated };

// Records go into `index` as they are read, a repeated id replacing the earlier one; a record cut off
// by the end of the data is left out. `version` receives the version read (0 when none).
ReadResult read(QIODevice* device, QeltImageIndex& index, qint32* version = nullptr);
// False when the device refused a byte.
bool write(QIODevice* device, const QeltImageIndex& index);

} // namespace imageIndexFile
