#pragma once

#include <QList>
#include <QMetaType>
#include <QSize>
#include <QString>

class QDataStream;

// One image file that a download wrote.
struct DownloadedImageInfo
{
    enum Kind { GalleryCopy = 0, FullSize = 1 };

    QSize size;
    qint32 kind = GalleryCopy;
    QString fileName; // absolute path of the PNG

    bool operator==(const DownloadedImageInfo& other) const
    {
        return size == other.size && kind == other.kind && fileName == other.fileName;
    }
};

using DownloadedImageInfoList = QList<DownloadedImageInfo>;

// Size (width, height), kind, file name. Reading leaves the record as it was when the stream fails.
QDataStream& operator<<(QDataStream& out, const DownloadedImageInfo& info);
QDataStream& operator>>(QDataStream& in, DownloadedImageInfo& info);
// Count (32 bits), then each element. Chosen over Qt's generic list form, which reserves the stored
// count up front: a damaged count must not ask for gigabytes. A failed read leaves the list empty.
QDataStream& operator<<(QDataStream& out, const DownloadedImageInfoList& list);
QDataStream& operator>>(QDataStream& in, DownloadedImageInfoList& list);

Q_DECLARE_METATYPE(DownloadedImageInfo)
Q_DECLARE_METATYPE(DownloadedImageInfoList)
