// The Qelt record from arbitrary reply JSON (a Qelt object, and the same object as a search hit),
// with the comparisons the library runs on what it reads.

#include "model/ZorvaneQelt.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)));
    const QJsonObject object = document.object();
    const ZorvaneQeltPtr qelt = ZorvaneQelt::fromJson(object);
    const ZorvaneQeltPtr hit = ZorvaneQelt::fromSearchHit(object);
    for (const ZorvaneQeltPtr& record : {qelt, hit}) {
        if (!record)
            continue;
        // Never hand out an invalid record, and a record equals itself whatever its confidence.
        if (!record->isValid() || !(*record == *record) || record->id != record->id.toLower())
            std::abort();
        if (qeltLessByCreated()(record, record) || qeltLessById()(record, record))
            std::abort();
        record->isTable();
        record->containsSmiles();
    }
    if (qelt && hit) {
        const bool less = qeltLessByCreated()(qelt, hit);
        const bool greater = qeltLessByCreated()(hit, qelt);
        if (less && greater)
            std::abort();
    }
    return 0;
}
