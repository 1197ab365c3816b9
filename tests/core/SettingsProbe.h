#pragma once

#include <QProcess>
#include <QStringList>
#include <QtTest>

namespace zq::test {

// Runs the settings probe in a new process with this process's HOME and XDG folders and returns
// its output lines, one per command.
inline QStringList readInFreshProcess(const QStringList& commands)
{
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(ZQ_SETTINGS_PROBE), commands);
    if (!probe.waitForFinished(60000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0) {
        qWarning() << "settings probe failed:" << probe.errorString();
        return {};
    }
    QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'));
    lines.removeLast();
    return lines;
}

} // namespace zq::test
