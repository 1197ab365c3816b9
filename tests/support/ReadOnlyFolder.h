#pragma once

#include <QFileDevice>
#include <QList>
#include <QString>

#include <utility>

namespace zq::test {

// Gives this process a mount namespace of its own, in which ReadOnlyFolder can make a folder read-only
// for root, whom permission bits do not stop. Only root needs it, and it must run before any thread
// starts (threads made earlier stay in the old namespace): call it from a namespace-scope initialiser
// of the test. Returns whether the process has such a namespace; false without root, or where the
// system refuses it.
bool enterOwnMountNamespace();

// A folder and everything in it made read-only for this process, for as long as the object lives, as
// a read-only data folder or home is for a user: without root by taking the write permission bits
// away, as root by mounting the folder read-only onto itself in the namespace above.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // Empty when nothing can be written in the folder now; otherwise why not, for a skip.
    QString failure() const { return m_failure; }

private:
    QString m_path;
    bool m_mounted = false;
    QList<std::pair<QString, QFileDevice::Permissions>> m_permissions; // to give back
    QString m_failure;
};

} // namespace zq::test
