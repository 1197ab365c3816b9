#include "support/ProcessTree.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <algorithm>

#include <unistd.h>

namespace zq::test {

namespace {

QByteArray readProc(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fields of /proc/<pid>/stat after the command name, which may hold spaces and parentheses: the
// first is the state, the second the parent.
QList<QByteArray> statFields(qint64 pid)
{
    const QByteArray stat = readProc(pid, "stat");
    const int end = stat.lastIndexOf(')');
    return end < 0 ? QList<QByteArray>() : stat.mid(end + 2).trimmed().split(' ');
}

bool isZygote(qint64 pid)
{
    return readProc(pid, "cmdline").contains(QByteArrayLiteral("--type=zygote"));
}

} // namespace

qint64 statusKiB(qint64 pid, const char* field)
{
    const QByteArray name = QByteArray(field) + ':';
    for (const QByteArray& line : readProc(pid, "status").split('\n'))
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

QList<qint64> processTree(qint64 root)
{
    QList<qint64> tree{root};
    for (int i = 0; i < tree.size(); ++i) {
        // Each thread has children of its own: the web engine starts its helpers from other threads.
        const QString tasks = QStringLiteral("/proc/%1/task").arg(tree.at(i));
        for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(tasks + QLatin1Char('/') + task + QStringLiteral("/children"));
            if (!children.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray& child : children.readAll().simplified().split(' ')) {
                const qint64 pid = child.toLongLong();
                if (pid > 0 && !tree.contains(pid))
                    tree << pid;
            }
        }
    }
    return tree;
}

int rendererCount(qint64 root)
{
    int count = 0;
    for (const qint64 pid : processTree(root)) {
        if (pid == root)
            continue;
        const qint64 parent = statFields(pid).value(1).toLongLong();
        count += readProc(pid, "cmdline").contains(QByteArrayLiteral("--type=renderer")) ||
                 (parent > 0 && parent != root && isZygote(parent));
    }
    return count;
}

int webEngineProcessCount(qint64 root)
{
    const QList<qint64> tree = processTree(root);
    return int(std::count_if(tree.begin(), tree.end(), [](qint64 pid) {
        return readProc(pid, "cmdline").contains(QByteArrayLiteral("--type="));
    }));
}

double treePssMb(qint64 root)
{
    double kb = 0;
    for (const qint64 pid : processTree(root)) {
        for (const QByteArray& line : readProc(pid, "smaps_rollup").split('\n')) {
            if (line.startsWith("Pss:"))
                kb += line.mid(4).simplified().split(' ').value(0).toDouble();
        }
    }
    return kb / 1024.0;
}

double treeCpuSeconds(qint64 root)
{
    // utime, stime, cutime and cstime are fields 14 to 17 of the stat line, 12 to 15 after the name.
    double ticks = 0;
    for (const qint64 pid : processTree(root)) {
        const QList<QByteArray> fields = statFields(pid);
        for (int i = 11; i <= 14 && i < fields.size(); ++i)
            ticks += fields.at(i).toDouble();
    }
    return ticks / double(sysconf(_SC_CLK_TCK));
}

} // namespace zq::test
