#include "library/QeltImageRecord.h"

#include "library/savedFile.h"

#include <QDataStream>

namespace imageIndexFile {

namespace {

void readEntry(QDataStream& in, ImageEntry& entry)
{
    qint32 width = 0, height = 0;
    in >> entry.file >> width >> height;
    entry.size = QSize(width, height);
}

void writeEntry(QDataStream& out, const ImageEntry& entry)
{
    out << entry.file << qint32(entry.size.width()) << qint32(entry.size.height());
}

} // namespace

ReadResult read(QIODevice* device, QeltImageIndex& index, qint32* version)
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
        readEntry(in, record.renderedList);
        readEntry(in, record.originalList);
        readEntry(in, record.originalFull);
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
