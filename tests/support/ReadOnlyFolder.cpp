#include "support/ReadOnlyFolder.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstring>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace zq::test {

namespace {

bool g_ownMounts = false;

} // namespace

bool enterOwnMountNamespace()
{
    if (::geteuid() != 0)
        return false;
    // Private below "/", so that no mount made here reaches the namespace the process came from.
    g_ownMounts =
        ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return g_ownMounts;
}

ReadOnlyFolder::ReadOnlyFolder(const QString& path) : m_path(path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::geteuid() == 0) {
        if (!g_ownMounts) {
            m_failure = QStringLiteral("root ignores permissions, and the test has no mount namespace of its "
                                       "own to mount the folder read-only in");
            return;
        }
        if (::mount(native.constData(), native.constData(), nullptr, MS_BIND, nullptr) != 0) {
            m_failure = QStringLiteral("bind mount refused: ") + QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        m_mounted = true;
        if (::mount(nullptr, native.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
            m_failure =
                QStringLiteral("read-only remount refused: ") + QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
    } else {
        QDirIterator items(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                           QDirIterator::Subdirectories);
        QStringList paths{path};
        while (items.hasNext())
            paths << items.next();
        const QFileDevice::Permissions writing = QFileDevice::WriteOwner | QFileDevice::WriteUser |
                                                 QFileDevice::WriteGroup | QFileDevice::WriteOther;
        for (const QString& item : qAsConst(paths)) {
            if (QFileInfo(item).isSymLink())
                continue; // its permissions are its target's
            const QFileDevice::Permissions permissions = QFile::permissions(item);
            m_permissions.append({item, permissions});
            QFile::setPermissions(item, permissions & ~writing);
        }
    }
    QFile probe(path + QStringLiteral("/probe-") + QUuid::createUuid().toString(QUuid::Id128));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        m_failure = QStringLiteral("the folder can still be written");
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    for (const auto& [item, permissions] : qAsConst(m_permissions))
        QFile::setPermissions(item, permissions);
}

} // namespace zq::test
