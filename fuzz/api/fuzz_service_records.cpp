// Every reader of a service record gets the same bytes: as reply JSON (Qelt, search hit, PDF,
// conversion, chat message, errors list), as the Qelt's stream form and as a service time.
#include "api/ApiError.h"
#include "model/ConversionFormats.h"
#include "model/ZorvaneConversion.h"
#include "model/ZorvanePDF.h"
#include "model/ZorvaneQelt.h"
#include "model/ZorvaneQeltChatMsg.h"
#include "model/isoDate.h"

#include <QDataStream>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void readJson(const QJsonObject& object)
{
    for (const ZorvaneQeltPtr& qelt : {ZorvaneQelt::fromJson(object), ZorvaneQelt::fromSearchHit(object)}) {
        // Never an invalid record, and a record equals itself whatever its confidence.
        if (qelt)
            check(qelt->isValid() && *qelt == *qelt && qelt->id == qelt->id.toLower() &&
                  !qeltLessByCreated()(qelt, qelt));
    }
    if (const auto pdf = ZorvanePDF::fromJson(object)) {
        for (const QString& key : pdf->outputFormats.keys())
            check(pdf->isValid() && SupportedConversionFormats.contains(key));
    }
    if (const auto conversion = ZorvaneConversion::fromJson(object)) {
        check(conversion->isValid());
        for (const QString& key : conversion->statusByFormat.keys() + conversion->outputFormats.keys())
            check(SupportedConversionFormats.contains(key));
        // A completed format always has an output path.
        for (const QString& key : SupportedConversionFormats)
            check(!conversion->isFormatCompleted(key) || !conversion->outputFormats.value(key).isNull());
    }
    if (const auto message = ZorvaneQeltChatMsg::fromJson(object))
        check(message->isValid() && (message->queryType == "text" || message->queryText.isEmpty()));
    check(ZorvaneAPI::parseErrors(object).size() <= object.value("errors").toArray().size());
}

// A failed read changes nothing; what was read writes back and reads again the same.
void readStream(const QByteArray& bytes)
{
    QDataStream in(bytes);
    const ZorvaneQelt before(QStringLiteral("before"), 2, 1);
    ZorvaneQelt qelt = before;
    in >> qelt;
    if (in.status() != QDataStream::Ok) {
        check(qelt == before && qelt.text == before.text);
        return;
    }
    QByteArray written;
    QDataStream out(&written, QIODevice::WriteOnly);
    out << qelt;
    ZorvaneQelt again;
    QDataStream reread(written);
    reread >> again;
    check(reread.status() == QDataStream::Ok && again.id == qelt.id && again.text == qelt.text &&
          again.created_at == qelt.created_at && qelt.status == before.status &&
          written.size() <= in.device()->pos());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    readJson(QJsonDocument::fromJson(bytes).object());
    readStream(bytes);
    // The shortcut for the service's usual time spellings agrees with Qt's ISO reading.
    const QString text = QString::fromUtf8(bytes);
    const QDateTime reference = QDateTime::fromString(text, Qt::ISODate);
    check(utils::isoDateToSecsSinceEpoch(text) ==
          (reference.isValid() ? reference.toUTC().toSecsSinceEpoch() : 0));
    return 0;
}
