#include "model/ZorvanePDF.h"

#include "core/constants.h"
#include "model/ConversionFormats.h"

#include <QJsonValue>

std::shared_ptr<ZorvanePDF> ZorvanePDF::fromJson(const QJsonObject& object)
{
    auto pdf = std::make_shared<ZorvanePDF>();
    // A member of another type reads as empty, like a missing one.
    pdf->id = object.value(QLatin1String("id")).toString();
    pdf->status = object.value(QLatin1String("status")).toString();
    pdf->inputFile = object.value(QLatin1String("input_file")).toString();
    const QJsonValue formats = object.value(QLatin1String("output_formats"));
    if (formats.isObject())
        pdf->outputFormats = parseOutputFormats(formats.toObject());
    if (pdf->id.isEmpty())
        return nullptr;
    return pdf;
}

bool ZorvanePDF::isValid() const
{
    return !id.isEmpty();
}

bool ZorvanePDF::isCompleted() const
{
    return isValid() && status == kStatusCompleted;
}
