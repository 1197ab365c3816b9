#include "RequestLog.h"

#include <QJsonArray>

namespace zq::test {

RequestLog::RequestLog(FakeService& service, const QString& path, QObject* parent)
    : QObject(parent), m_file(path)
{
    // Appended to, so that a fake started again after a stop keeps the earlier record.
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        connect(&service, &FakeService::received, this, &RequestLog::write);
}

QJsonObject RequestLog::toJson(const RecordedRequest& request, int seq)
{
    QJsonObject headers;
    for (auto it = request.headers.cbegin(); it != request.headers.cend(); ++it)
        headers.insert(QString::fromLatin1(it.key()), QString::fromUtf8(it.value()));
    QJsonArray parts;
    for (const RecordedPart& part : request.parts) {
        parts.append(QJsonObject{{"name", QString::fromUtf8(part.name)},
                                 {"filename", QString::fromUtf8(part.fileName)},
                                 {"content_type", QString::fromUtf8(part.contentType)},
                                 {"data_base64", QString::fromLatin1(part.data.toBase64())}});
    }
    QJsonObject line{{"seq", seq},
                     {"method", QString::fromLatin1(request.method)},
                     {"host", QString::fromUtf8(request.header("host"))},
                     {"path", request.path},
                     {"query", request.query},
                     {"headers", headers},
                     {"body_base64", QString::fromLatin1(request.body.toBase64())},
                     {"parts", parts}};
    const QJsonDocument body = QJsonDocument::fromJson(request.body);
    if (body.isObject())
        line.insert("json", body.object());
    return line;
}

void RequestLog::write(const RecordedRequest& request)
{
    m_file.write(QJsonDocument(toJson(request, ++m_seq)).toJson(QJsonDocument::Compact) + '\n');
}

} // namespace zq::test
