// Reading service times: the shortcut for the service's usual spellings must agree with Qt's ISO
// date reading on every input.

#include "model/isoDate.h"

#include <QDateTime>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QDateTime reference = QDateTime::fromString(text, Qt::ISODate);
    const qint64 expected = reference.isValid() ? reference.toUTC().toSecsSinceEpoch() : 0;
    if (utils::isoDateToSecsSinceEpoch(text) != expected)
        std::abort();
    return 0;
}
