#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <optional>

namespace crashreport {

// "<scheme>://<key>@<host>[:<port>]/<project>".
struct Dsn
{
    QString scheme;
    QString key;
    QString host;
    int port = -1;
    QString project;

    // Where records are posted: "<scheme>://<host>[:<port>]/api/<project>/reports".
    QUrl endpoint() const;
};

// Nothing for an address that is not a complete http or https DSN.
std::optional<Dsn> parseDsn(const QString& text);

// The status code of a reply that starts "HTTP/1.x NNN"; 0 for anything else.
int replyStatus(const QByteArray& reply);

// Posts each record file to the DSN's endpoint, one connection per record, and removes the files the
// endpoint accepts (any 2xx). A file that is not a record is renamed to "<name>.invalid" and not sent.
// Returns the number of records accepted. Blocks; stops between records once `stop` is set.
int uploadRecords(const Dsn& dsn, const QStringList& files, const std::atomic<bool>& stop, int timeoutMs);

} // namespace crashreport
