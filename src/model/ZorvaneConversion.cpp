#include "model/ZorvaneConversion.h"

#include "core/constants.h"
#include "model/ConversionFormats.h"

#include <QJsonValue>

#include <algorithm>

std::shared_ptr<ZorvaneConversion> ZorvaneConversion::fromJson(const QJsonObject& object)
{
    auto conversion = std::make_shared<ZorvaneConversion>();
    conversion->id = object.value(QLatin1String("id")).toString();

    const QJsonValue statuses = object.value(QLatin1String("conversion_status"));
    if (statuses.isObject()) {
        const QJsonObject statusObject = statuses.toObject();
        for (auto it = statusObject.constBegin(); it != statusObject.constEnd(); ++it) {
            if (!it.value().isObject() || !SupportedConversionFormats.contains(it.key()))
                continue;
            const QJsonValue status = it.value().toObject().value(QLatin1String("status"));
            if (status.isString())
                conversion->statusByFormat.insert(it.key(), status.toString());
        }
    }

    const QJsonValue outputs = object.value(QLatin1String("output_formats"));
    if (outputs.isObject())
        conversion->outputFormats = parseOutputFormats(outputs.toObject());

    if (conversion->id.isEmpty())
        return nullptr;
    return conversion;
}

bool ZorvaneConversion::isValid() const
{
    return !id.isEmpty();
}

bool ZorvaneConversion::isCompleted() const
{
    return !statusByFormat.isEmpty() &&
           std::all_of(statusByFormat.cbegin(), statusByFormat.cend(),
                       [](const QString& status) { return status == kStatusCompleted; });
}

bool ZorvaneConversion::isFormatCompleted(const QString& key) const
{
    return outputFormats.contains(key) && statusByFormat.value(key) == kStatusCompleted;
}
