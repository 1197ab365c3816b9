#include "library/savedFile.h"

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

} // namespace utils
