#pragma once

#include "api/Request.h"

#include <QPointF>
#include <QVector>

namespace ZorvaneAPI {

// Sends handwriting strokes for recognition; answers with a QeltResult, often not yet completed.
// Fills the recognition timing record.
class CreateQeltFromStrokesRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("CreateQeltFromStrokesRequest"); }

    void exec(const QVector<QVector<QPointF>>& strokes);

protected slots:
    void responseHandler() override;

protected:
    void replyReceived(QNetworkReply& reply, int httpStatus) override;
};

} // namespace ZorvaneAPI
