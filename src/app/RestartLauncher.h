#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What the application starts when its event loop ends with a restart code, and the start itself.
class RestartLauncher
{
public:
    static constexpr int kRestartCode = 212;
    // After an update: the new copy starts without its start balloon.
    static constexpr int kSilentRestartCode = 213;

    struct Command
    {
        QString program;
        QStringList arguments;
        bool operator==(const Command& other) const
        {
            return program == other.program && arguments == other.arguments;
        }
    };

    // `arguments` are the process's own, program first. Inside an AppImage the file `appImage` names
    // starts (it holds the update; the running binary lies in a mount that ends with this process).
    // Nothing for any code but the two restart codes.
    static std::optional<Command> command(int exitCode, const QStringList& arguments,
                                          const QString& appImage);

    // Starts the command detached; false when it could not be started.
    static bool launch(const Command& command);

    // Tests only: launches go to `launcher` instead of the system; an empty function restores it.
    static void setLauncherForTesting(std::function<bool(const Command&)> launcher);
};
