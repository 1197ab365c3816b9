#pragma once

#include <QString>

namespace utils {

// Seconds since the epoch (UTC, whole seconds) of an ISO 8601 date-time as Qt's ISO date format reads
// it; a time without a zone designator is local time. 0 when the text does not parse.
qint64 isoDateToSecsSinceEpoch(const QString& text);

} // namespace utils
