#pragma once

#include <QNetworkReply>
#include <QString>

namespace ZorvaneAPI {

// A transport or HTTP failure of one reply, as the network stack reported it.
struct NetworkError
{
    int code = QNetworkReply::NoError;
    QString message;

    bool isSet() const { return code != QNetworkReply::NoError; }
};

} // namespace ZorvaneAPI
