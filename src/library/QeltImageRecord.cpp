#include "library/QeltImageRecord.h"

#include "library/imageFiles.h"
#include "library/savedFile.h"

#include <QDataStream>

namespace imageIndexFile {

namespace {

// The part after the last slash; the whole text when there is none.
QString lastPart(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

void readEntry(QDataStream& in, ImageEntry& entry, const QString& folder)
{
    qint32 width = 0, height = 0;
    QString stored;
    in >> stored >> width >> height;
    entry.file = fileIn(folder, stored);
    entry.size = entry.file.isEmpty() ? QSize(0, 0) : QSize(width, height);
}

void writeEntry(QDataStream& out, const ImageEntry& entry)
{
    // A missing entry keeps its null name, as the file has always had it.
    out << (entry.file.isNull() ? QString() : lastPart(entry.file)) << qint32(entry.size.width())
        << qint32(entry.size.height());
}

} // namespace

QString fileIn(const QString& folder, const QString& stored)
{
    const QString name = lastPart(stored);
    if (folder.isEmpty() || !utils::isOwnImageFileName(name))
        return QString();
    return folder + QLatin1Char('/') + name;
}

ReadResult read(QIODevice* device, QeltImageIndex& index, const QString& folder, qint32* version)
{
    QDataStream in(device);
    switch (utils::readStoredVersion(in, kVersion, version)) {
    case utils::StoredVersion::Missing:
        return ReadResult::NoVersion;
    case utils::StoredVersion::Other:
        return ReadResult::WrongVersion;
    case utils::StoredVersion::Ok:
        break;
    }
    while (!in.atEnd()) {
        QString id;
        QeltImageRecord record;
        in >> id;
        readEntry(in, record.renderedList, folder);
        readEntry(in, record.originalList, folder);
        readEntry(in, record.originalFull, folder);
        in >> record.originalUrl >> record.renderedUrl;
        if (in.status() != QDataStream::Ok)
            return ReadResult::Truncated;
        index.insert(id, record);
    }
    return ReadResult::Ok;
}

bool write(QIODevice* device, const QeltImageIndex& index)
{
    QDataStream out(device);
    out.setVersion(QDataStream::Qt_5_15);
    out << kVersion;
    for (auto it = index.constBegin(); it != index.constEnd() && out.status() == QDataStream::Ok; ++it) {
        out << it.key();
        writeEntry(out, it->renderedList);
        writeEntry(out, it->originalList);
        writeEntry(out, it->originalFull);
        out << it->originalUrl << it->renderedUrl;
    }
    return out.status() == QDataStream::Ok;
}

} // namespace imageIndexFile
