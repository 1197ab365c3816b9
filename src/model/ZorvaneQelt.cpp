#include "model/ZorvaneQelt.h"

#include "core/identity.h"
#include "core/settings.h"
#include "model/isoDate.h"

#include <QDataStream>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace {

// Integer part of confidence × 10 as a 32-bit integer, saturated: values beyond int (or not
// finite) from a damaged stream must still compare without undefined behaviour.
int confidenceTenths(double confidence)
{
    const double tenths = confidence * 10.0;
    if (std::isnan(tenths))
        return std::numeric_limits<int>::min();
    if (tenths >= 2147483647.0)
        return std::numeric_limits<int>::max();
    if (tenths <= -2147483648.0)
        return std::numeric_limits<int>::min();
    return static_cast<int>(tenths);
}

QString stringMember(const QJsonObject& object, QLatin1String key)
{
    return object.value(key).toString();
}

// "fullsize" when present and not null, else "thumbnail"; a fullsize of another type gives nothing.
QString imageUrl(const QJsonObject& images, QLatin1String kind)
{
    const QJsonObject sizes = images.value(kind).toObject();
    const QJsonValue fullsize = sizes.value(QLatin1String("fullsize"));
    const QJsonValue chosen =
        !fullsize.isUndefined() && !fullsize.isNull() ? fullsize : sizes.value(QLatin1String("thumbnail"));
    return chosen.toObject().value(QLatin1String("url")).toString();
}

qint64 timeMember(const QJsonObject& object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? utils::isoDateToSecsSinceEpoch(value.toString()) : 0;
}

} // namespace

ZorvaneQelt::ZorvaneQelt(const QString& id) : id(id) {}

ZorvaneQelt::ZorvaneQelt(const QString& id, qint64 modifiedAt, qint64 createdAt)
    : id(id), modified_at(modifiedAt), created_at(createdAt)
{
}

bool ZorvaneQelt::isValid() const
{
    return !id.isEmpty() && modified_at != 0 && created_at != 0;
}

bool ZorvaneQelt::containsSmiles(const QString& text)
{
    return text.contains(QLatin1String("```smiles"), Qt::CaseInsensitive) ||
           text.contains(QLatin1String("<smiles>"), Qt::CaseInsensitive);
}

bool ZorvaneQelt::isTable(const QString& text)
{
    return text.contains(QLatin1String("\\begin{tabular}"), Qt::CaseInsensitive);
}

bool ZorvaneQelt::operator==(const ZorvaneQelt& other) const
{
    return id == other.id && latex == other.latex && text == other.text &&
           confidenceTenths(confidence) == confidenceTenths(other.confidence) &&
           modified_at == other.modified_at && created_at == other.created_at &&
           originalImageUrl == other.originalImageUrl && renderedImageUrl == other.renderedImageUrl;
}

QUrl ZorvaneQelt::webUrl() const
{
    // One pass, so that a "%1" inside the user name or id is kept as written.
    return QUrl(QStringLiteral("%1/%2/qelts/%3").arg(utils::webAppUrl(), kKeyUserName.get(), id),
                QUrl::TolerantMode);
}

std::shared_ptr<ZorvaneQelt> ZorvaneQelt::fromJson(const QJsonObject& object, const QString& idOverride,
                                                   const qint64& modifiedAtOverride,
                                                   const qint64& createdAtOverride)
{
    auto qelt = std::make_shared<ZorvaneQelt>();
    qelt->status = stringMember(object, QLatin1String("status"));
    qelt->latex = stringMember(object, QLatin1String("latex"));
    qelt->text = stringMember(object, QLatin1String("text"));
    qelt->confidence = object.value(QLatin1String("confidence")).toDouble(0.0);
    qelt->id = !idOverride.isEmpty() ? idOverride : stringMember(object, QLatin1String("id")).toLower();

    const QJsonObject images = object.value(QLatin1String("images")).toObject();
    if (!images.isEmpty()) {
        qelt->originalImageUrl = imageUrl(images, QLatin1String("original"));
        qelt->renderedImageUrl = imageUrl(images, QLatin1String("rendered"));
    }

    qelt->modified_at =
        modifiedAtOverride != 0 ? modifiedAtOverride : timeMember(object, QLatin1String("modified_at"));
    qelt->created_at =
        createdAtOverride != 0 ? createdAtOverride : timeMember(object, QLatin1String("created_at"));

    if (!qelt->isValid())
        return nullptr;
    return qelt;
}

std::shared_ptr<ZorvaneQelt> ZorvaneQelt::fromSearchHit(const QJsonObject& hit)
{
    return fromJson(hit.value(QLatin1String("_source")).toObject());
}

QDataStream& operator<<(QDataStream& out, const ZorvaneQelt& qelt)
{
    return out << qelt.id << qelt.latex << qelt.text << qelt.confidence << qelt.modified_at
               << qelt.created_at;
}

QDataStream& operator>>(QDataStream& in, ZorvaneQelt& qelt)
{
    // Read into locals so that a truncated or damaged stream leaves the record as it was.
    QString id, latex, text;
    double confidence = 0.0;
    qint64 modifiedAt = 0, createdAt = 0;
    in >> id >> latex >> text >> confidence >> modifiedAt >> createdAt;
    if (in.status() != QDataStream::Ok)
        return in;
    qelt.id = id;
    qelt.latex = latex;
    qelt.text = text;
    qelt.confidence = confidence;
    qelt.modified_at = modifiedAt;
    qelt.created_at = createdAt;
    return in;
}

bool qeltLessByCreated::operator()(const ZorvaneQeltPtr& a, const ZorvaneQeltPtr& b) const
{
    if (a->created_at != b->created_at)
        return a->created_at < b->created_at;
    return a->id < b->id;
}

bool qeltLessById::operator()(const ZorvaneQeltPtr& a, const ZorvaneQeltPtr& b) const
{
    return a->id < b->id;
}
