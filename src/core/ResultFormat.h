#pragma once

#include <QMetaType>
#include <QString>

class QDataStream;

namespace utils {

// How recognised mathematics is delimited, and which block rows the result view offers.
// Stored under the ResultFormat setting; no invariant ties the fields together.
class ResultFormat
{
public:
    // Not interpreted by any reader, but stored and compared like the rest.
    bool reserved1 = true;
    bool reserved2 = true;
    bool reserved3 = true;
    bool blockEnabled = true;
    bool numberedEnabled = true;
    bool customEnabled = false;
    QString customOpenDelimiter;
    QString customCloseDelimiter;
    // 0 "$...$", 1 "\(...\)".
    int inlineStyle = 0;
    // 0 "$$", 1 "\[", 2 equation*, 3 align*.
    int blockStyle = 0;
    // 0 equation, 1 align.
    int numberedStyle = 0;

    // A null and an empty delimiter compare equal.
    bool operator==(const ResultFormat& other) const;
    bool operator!=(const ResultFormat& other) const { return !(*this == other); }
};

// The stored value, or the default one when nothing (or nothing readable) is stored.
ResultFormat resultFormat();
void setResultFormat(const ResultFormat& rf);

} // namespace utils

// The styles travel as single bytes, read back as 0 to 255.
QDataStream& operator<<(QDataStream& stream, const utils::ResultFormat& rf);
QDataStream& operator>>(QDataStream& stream, utils::ResultFormat& rf);

Q_DECLARE_METATYPE(utils::ResultFormat)
