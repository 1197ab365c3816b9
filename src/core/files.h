#pragma once

#include <QString>

#include <functional>

namespace utils {

enum class RenameOutcome {
    Renamed,
    // A file (or a link, even one to nothing) has the name: pick another.
    Taken,
    Failed,
};

// Moves the file `from` to `to`, on the same file system, in one step that never replaces what has the
// name `to`, even if it appeared a moment before: QFile::rename would copy over it when its own check
// came too early. On failure `error`, when given, says why.
RenameOutcome renameNoReplace(const QString& from, const QString& to, QString* error = nullptr);

// Runs `hook` with the name just before each such rename, so that a test can make a file appear there.
void setBeforeRenameForTesting(std::function<void(const QString& to)> hook);

} // namespace utils
