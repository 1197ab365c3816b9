#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// Reading of the chat answer's server-sent event stream, apart from the network so that it can be
// driven by any device and any chunking.
namespace ZorvaneAPI::eventStream {

// Consumes every complete line the device holds and returns the payload of the last "data: " line
// among them (empty when there is none). An incomplete last line stays in the device until its line
// break arrives.
QByteArray takeLastPayload(QIODevice& device);

enum class PayloadError { None, NotJsonObject, NoGenerativeObject, UnsupportedType, TextNotString };

struct Answer
{
    PayloadError error = PayloadError::None;
    QString text;
};

// Reads {"generative": {"type": "text", "data": string}}; "data" is the whole answer so far.
Answer parseAnswer(const QByteArray& payload);

// The warning that a rejected payload is logged with (without the payload itself).
const char* payloadErrorText(PayloadError error);

} // namespace ZorvaneAPI::eventStream
