#pragma once

#include <QList>

// What a process and every process below it cost, read from /proc: the web engine's renderers run in
// processes of their own, which a figure of one process leaves out.
namespace zq::test {

// The process and its descendants, parents before children; processes that end meanwhile drop out.
QList<qint64> processTree(qint64 root);

// The web engine's renderers in the tree: processes that its zygotes forked, or that it started as renderers.
int rendererCount(qint64 root);

// Every process of the web engine in the tree (zygotes, renderers, helpers): none until the engine starts.
int webEngineProcessCount(qint64 root);

// The proportional set size of the whole tree in MB: each page shared with other processes counts in part.
double treePssMb(qint64 root);

// A memory figure of one process from /proc/<pid>/status in KiB ("VmHWM", "RssAnon", ...); -1 when the
// process or the figure is not there.
qint64 statusKiB(qint64 pid, const char* field);

// Processor time, user and system, of the whole tree in seconds, with the children it has reaped.
double treeCpuSeconds(qint64 root);

} // namespace zq::test
