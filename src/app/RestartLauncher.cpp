#include "app/RestartLauncher.h"

#include "core/switches.h"

#include <QProcess>

namespace {

std::function<bool(const RestartLauncher::Command&)>& testLauncher()
{
    static std::function<bool(const RestartLauncher::Command&)> launcher;
    return launcher;
}

} // namespace

std::optional<RestartLauncher::Command> RestartLauncher::command(int exitCode, const QStringList& arguments,
                                                                 const QString& appImage)
{
    if ((exitCode != kRestartCode && exitCode != kSilentRestartCode) || arguments.isEmpty())
        return std::nullopt;
    Command command{appImage.isEmpty() ? arguments.first() : appImage, arguments.mid(1)};
    if (exitCode == kSilentRestartCode && !command.arguments.contains(kHideStartBalloonSwitch))
        command.arguments.append(kHideStartBalloonSwitch);
    return command;
}

bool RestartLauncher::launch(const Command& command)
{
    if (testLauncher())
        return testLauncher()(command);
    return QProcess::startDetached(command.program, command.arguments);
}

void RestartLauncher::setLauncherForTesting(std::function<bool(const Command&)> launcher)
{
    testLauncher() = std::move(launcher);
}
