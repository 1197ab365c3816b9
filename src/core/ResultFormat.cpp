#include "core/ResultFormat.h"

#include "core/settings.h"

#include <QDataStream>

namespace utils {

bool ResultFormat::operator==(const ResultFormat& other) const
{
    return reserved1 == other.reserved1 && reserved2 == other.reserved2 && reserved3 == other.reserved3 &&
           blockEnabled == other.blockEnabled && numberedEnabled == other.numberedEnabled &&
           customEnabled == other.customEnabled && customOpenDelimiter == other.customOpenDelimiter &&
           customCloseDelimiter == other.customCloseDelimiter && inlineStyle == other.inlineStyle &&
           blockStyle == other.blockStyle && numberedStyle == other.numberedStyle;
}

ResultFormat resultFormat()
{
    if (!kKeyResultFormat.contains())
        return {};
    return kKeyResultFormat.get().value<ResultFormat>();
}

void setResultFormat(const ResultFormat& rf)
{
    kKeyResultFormat.set(QVariant::fromValue(rf));
}

} // namespace utils

QDataStream& operator<<(QDataStream& stream, const utils::ResultFormat& rf)
{
    stream << rf.reserved1 << rf.reserved2 << rf.reserved3 << rf.blockEnabled << rf.numberedEnabled
           << quint8(rf.inlineStyle) << quint8(rf.blockStyle) << quint8(rf.numberedStyle) << rf.customEnabled
           << rf.customOpenDelimiter << rf.customCloseDelimiter;
    return stream;
}

QDataStream& operator>>(QDataStream& stream, utils::ResultFormat& rf)
{
    quint8 inlineStyle = 0;
    quint8 blockStyle = 0;
    quint8 numberedStyle = 0;
    stream >> rf.reserved1 >> rf.reserved2 >> rf.reserved3 >> rf.blockEnabled >> rf.numberedEnabled >>
        inlineStyle >> blockStyle >> numberedStyle >> rf.customEnabled >> rf.customOpenDelimiter >>
        rf.customCloseDelimiter;
    rf.inlineStyle = inlineStyle;
    rf.blockStyle = blockStyle;
    rf.numberedStyle = numberedStyle;
    return stream;
}
