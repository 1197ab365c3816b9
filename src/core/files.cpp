#include "core/files.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace utils {

namespace {

std::function<void(const QString&)>& beforeRename()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

} // namespace

RenameOutcome renameNoReplace(const QString& from, const QString& to, QString* error)
{
    if (const auto& hook = beforeRename())
        hook(to);
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return RenameOutcome::Renamed;
    int failure = errno;
    // A file system that cannot rename so: a second name refuses a taken one just as well.
    if (failure == EINVAL || failure == ENOSYS) {
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return RenameOutcome::Renamed;
        }
        failure = errno;
    }
    if (failure == EEXIST)
        return RenameOutcome::Taken;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(failure));
    return RenameOutcome::Failed;
}

void setBeforeRenameForTesting(std::function<void(const QString& to)> hook)
{
    beforeRename() = std::move(hook);
}

} // namespace utils
