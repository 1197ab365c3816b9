// The stream form of the Qelt record from arbitrary bytes: a failed read changes nothing, and what
// was read writes back to the same bytes.

#include "model/ZorvaneQelt.h"

#include <QDataStream>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    QDataStream in(bytes);
    ZorvaneQelt before(QStringLiteral("before"), 2, 1);
    before.status = QStringLiteral("completed");
    ZorvaneQelt qelt = before;
    in >> qelt;
    if (qelt.status != before.status)
        std::abort();
    if (in.status() != QDataStream::Ok) {
        if (!(qelt == before) || qelt.text != before.text)
            std::abort();
        return 0;
    }

    QByteArray written;
    QDataStream out(&written, QIODevice::WriteOnly);
    out << qelt;
    const QByteArray consumed = bytes.left(int(in.device()->pos()));
    // Null and empty strings stream differently but read the same; compare by reading back.
    ZorvaneQelt again;
    QDataStream reread(written);
    reread >> again;
    if (reread.status() != QDataStream::Ok || again.id != qelt.id || again.text != qelt.text ||
        again.created_at != qelt.created_at || written.size() > consumed.size())
        std::abort();
    return 0;
}
