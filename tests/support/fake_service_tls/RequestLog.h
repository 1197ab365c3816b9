#pragma once

#include "support/FakeService.h"

#include <QFile>

namespace zq::test {

// Writes every request a fake service receives as one JSON line, flushed at once, so that a test in
// another process reads what arrived while the service runs: {"seq", "method", "host", "path", "query",
// "headers" (names lower-cased), "body_base64", "json" (when the body is a JSON object), "parts" (of a
// multipart body: "name", "filename", "content_type", "data_base64")}.
class RequestLog : public QObject
{
    Q_OBJECT

public:
    RequestLog(FakeService& service, const QString& path, QObject* parent = nullptr);

    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_file.errorString(); }

    static QJsonObject toJson(const RecordedRequest& request, int seq);

private:
    void write(const RecordedRequest& request);

    QFile m_file;
    int m_seq = 0;
};

} // namespace zq::test
