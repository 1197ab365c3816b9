#pragma once

#include <QByteArray>
#include <QString>

// The reader of the service's answer to GET "/v1/user".
namespace userReply {

enum class Kind {
    Invalid,   // empty, not JSON, or not an object
    Error,     // an object whose "error" is a non-empty string
    UserName,  // an object with a string "username"
    NoUserName // anything else: nothing to take
};

struct Outcome
{
    Kind kind = Kind::Invalid;
    QString text; // the user name, or the error
};

Outcome read(const QByteArray& body);

} // namespace userReply
