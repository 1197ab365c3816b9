#include "library/DownloadedImageInfo.h"

#include <QDataStream>

QDataStream& operator<<(QDataStream& out, const DownloadedImageInfo& info)
{
    return out << qint32(info.size.width()) << qint32(info.size.height()) << info.kind << info.fileName;
}

QDataStream& operator>>(QDataStream& in, DownloadedImageInfo& info)
{
    qint32 width = 0, height = 0, kind = 0;
    QString fileName;
    in >> width >> height >> kind >> fileName;
    if (in.status() != QDataStream::Ok)
        return in;
    info.size = QSize(width, height);
    info.kind = kind;
    info.fileName = fileName;
    return in;
}

QDataStream& operator<<(QDataStream& out, const DownloadedImageInfoList& list)
{
    out << quint32(list.size());
    for (const DownloadedImageInfo& info : list)
        out << info;
    return out;
}

QDataStream& operator>>(QDataStream& in, DownloadedImageInfoList& list)
{
    list.clear();
    quint32 count = 0;
    in >> count;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        DownloadedImageInfo info;
        in >> info;
        if (in.status() == QDataStream::Ok)
            list.append(info);
    }
    if (in.status() != QDataStream::Ok)
        list.clear();
    return in;
}
