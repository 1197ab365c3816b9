#pragma once

#include <QString>

#include <functional>

class QDataStream;
class QIODevice;

namespace utils {

// Writes a stored file through QSaveFile: the file on disk changes only when `write` reports success
// and the commit went through, so a crash or a full disk mid-save leaves the previous file whole.
// Logs "<owner> Can't write <what> to disk." when the file cannot be opened, and a failed write or
// commit with its reason; returns whether the new file is in place.
bool saveFile(const QString& path, const std::function<bool(QIODevice*)>& write, const QString& owner,
              const QString& what);

enum class StoredVersion { Ok, Missing, Other };

// Reads the version that opens a stored file, in the stream form both files use; reports what was read
// through `version` (0 when nothing could be) so that callers can log it.
StoredVersion readStoredVersion(QDataStream& in, qint32 expected, qint32* version);

} // namespace utils
