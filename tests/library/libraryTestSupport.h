#pragma once

#include "model/ZorvaneQelt.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <cstring>
#include <memory>

namespace zq::test {

// The stored forms written out byte by byte, big-endian, as the file layouts describe them.
inline QByteArray be32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

inline QByteArray be64(quint64 value)
{
    QByteArray bytes(8, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

inline QByteArray beDouble(double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return be64(bits);
}

inline QByteArray beString(const QString& text)
{
    if (text.isNull())
        return be32(0xFFFFFFFFu);
    QByteArray bytes = be32(quint32(text.size() * 2));
    for (QChar c : text) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xFF));
    }
    return bytes;
}

inline ZorvaneQeltPtr makeQelt(const QString& id, qint64 createdAt,
                               const QString& latex = QStringLiteral("x"))
{
    auto qelt = std::make_shared<ZorvaneQelt>(id, createdAt + 5, createdAt);
    qelt->latex = latex;
    qelt->text = QStringLiteral("$") + latex + QStringLiteral("$");
    qelt->confidence = 0.5;
    qelt->renderedImageUrl = QStringLiteral("http://img/") + id + QStringLiteral("/r.png");
    return qelt;
}

// One Qelt as the Qelts file holds it.
inline QByteArray qeltRecord(const ZorvaneQelt& q)
{
    return beString(q.id) + beString(q.latex) + beString(q.text) + beDouble(q.confidence) +
           be64(quint64(q.modified_at)) + be64(quint64(q.created_at)) + beString(q.originalImageUrl) +
           beString(q.renderedImageUrl);
}

} // namespace zq::test
