#include "library/savedFile.h"

#include <QDataStream>
#include <QDebug>
#include <QSaveFile>

namespace utils {

bool saveFile(const QString& path, const std::function<bool(QIODevice*)>& write, const QString& owner,
              const QString& what)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning().noquote() << owner << QStringLiteral("Can't write %1 to disk.").arg(what)
                             << "Failed to open file for writing:" << path;
        return false;
    }
    if (!write(&file)) {
        qWarning().noquote() << owner << QStringLiteral("Failed to write %1:").arg(what) << file.errorString()
                             << path;
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qWarning().noquote() << owner << QStringLiteral("Failed to commit %1:").arg(what)
                             << file.errorString() << path;
        return false;
    }
    return true;
}

StoredVersion readStoredVersion(QDataStream& in, qint32 expected, qint32* version)
{
    in.setVersion(QDataStream::Qt_5_15);
    qint32 read = 0;
    in >> read;
    const bool ok = in.status() == QDataStream::Ok;
    if (version)
        *version = ok ? read : 0;
    if (!ok)
        return StoredVersion::Missing;
    return read == expected ? StoredVersion::Ok : StoredVersion::Other;
}

} // namespace utils
