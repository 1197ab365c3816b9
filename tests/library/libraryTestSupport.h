#pragma once

#include "model/ZorvaneQelt.h"

#include <QByteArray>
#include <QDataStream>

#include <memory>

namespace zq::test {

// Stored bytes put together field by field, as the file layouts list them.
template <typename... Fields> QByteArray fields(const Fields&... values)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_5_15);
    (out << ... << values);
    return bytes;
}

inline ZorvaneQeltPtr makeQelt(const QString& id, qint64 createdAt,
                               const QString& latex = QStringLiteral("x"))
{
    auto qelt = std::make_shared<ZorvaneQelt>(id, createdAt + 5, createdAt);
    qelt->latex = latex;
    qelt->text = QStringLiteral("$") + latex + QStringLiteral("$");
    qelt->renderedImageUrl = QStringLiteral("http://img/") + id + QStringLiteral("/r.png");
    return qelt;
}

inline QByteArray qeltRecord(const ZorvaneQelt& q)
{
    return fields(q.id, q.latex, q.text, q.confidence, q.modified_at, q.created_at, q.originalImageUrl,
                  q.renderedImageUrl);
}

} // namespace zq::test
