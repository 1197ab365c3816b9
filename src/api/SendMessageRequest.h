#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Asks one chat question about a Qelt and reads the answer as a server-sent event stream while it is
// generated. Unlike every other request it emits finished more than once: one partial
// SendMessageResult per batch of stream data that holds an accepted answer, then one final result.
class SendMessageRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("SendMessageRequest"); }

    void exec(const QString& qeltId, const QString& qeltContent, const QString& query);

protected slots:
    void streamReceived();
    void streamFinished();
    // The base routes the reply's end here; it is the end of the stream.
    void responseHandler() override;

private:
    // The answer of the last accepted event: each event carries the whole answer so far.
    QString m_lastAnswer;
};

} // namespace ZorvaneAPI
