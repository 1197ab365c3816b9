#include "view/render/ContentInfo.h"

#include <QDebug>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QDebug warn()
{
    return qWarning().noquote() << "[WebViewWrapper]";
}

// A size from the page: fractions truncate toward zero; anything that is no usable size is -1.
int toSize(const QVariant& value)
{
    switch (static_cast<QMetaType::Type>(value.type())) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double size = std::trunc(value.toDouble());
        if (!std::isfinite(size) || size < 0 || size > std::numeric_limits<int>::max())
            return -1;
        return static_cast<int>(size);
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        bool ok = false;
        const qlonglong size = value.toLongLong(&ok);
        return ok && size >= 0 && size <= std::numeric_limits<int>::max() ? static_cast<int>(size) : -1;
    }
    default:
        return -1;
    }
}

} // namespace

ContentInfo ContentInfo::fromReply(const QVariant& reply)
{
    ContentInfo info;
    if (!reply.isValid() || reply.isNull() || reply.type() != QVariant::List) {
        warn() << "No valid result:" << reply;
        return info;
    }
    const QVariantList list = reply.toList();
    if (list.size() != 2 || list[0].type() != QVariant::Bool || list[1].type() != QVariant::Map) {
        warn() << "Invalid result type:" << reply;
        return info;
    }
    // The page still measured what it showed, so the size stays usable.
    if (list[0].toBool())
        warn() << "Invalid latex";
    const QVariantMap map = list[1].toMap();
    if (!map.contains(QStringLiteral("height")) || !map.contains(QStringLiteral("width"))) {
        warn() << "No height or width in result, map:" << map;
        return info;
    }
    const int height = toSize(map.value(QStringLiteral("height")));
    const int width = toSize(map.value(QStringLiteral("width")));
    if (height < 0 || width < 0) {
        warn() << "Invalid size of result, map:" << map;
        return info;
    }
    return {false, width, height};
}

ContentInfo ContentInfo::fromReplies(const QVariant& reply, const QVariant& laidOut)
{
    ContentInfo info = fromReply(reply);
    if (info.error || laidOut.type() != QVariant::Map)
        return info;
    const QVariantMap map = laidOut.toMap();
    const int height = toSize(map.value(QStringLiteral("height")));
    const int width = toSize(map.value(QStringLiteral("width")));
    if (height < 0 || width < 0)
        return info;
    info.height = std::max(info.height, height);
    info.width = std::max(info.width, width);
    return info;
}
