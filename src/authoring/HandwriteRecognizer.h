#pragma once

#include "authoring/StrokeModel.h"
#include "model/ZorvaneQelt.h"

#include <QObject>
#include <QString>

#include <memory>

namespace ZorvaneAPI {
class QeltResult;
}

// Sends a drawing for recognition and waits for the service to finish the Qelt it makes, asking again
// while the Qelt is still being processed. One drawing at a time; the outcome is exactly one of the
// four signals after busyChanged(true), followed by busyChanged(false).
class HandwriteRecognizer : public QObject
{
    Q_OBJECT

public:
    explicit HandwriteRecognizer(QObject* parent = nullptr);

    // False, sending nothing, while a drawing is under way or when there is nothing drawn.
    bool recognize(const Strokes& strokes);
    bool isBusy() const { return m_busy; }

    // The user-visible text of a failed call: the service's own messages when it gave any, else a
    // network or a generic text. Empty for a result that carries a usable Qelt.
    static QString failureText(const ZorvaneAPI::QeltResult& result);

signals:
    void busyChanged(bool busy);
    // The service made a Qelt with content. Once the service has made one, the drawing never fails:
    // a Qelt still being processed after the last fetch, or whose fetches failed, comes here too, and
    // the library's synchronisation brings its finished version.
    void recognized(ZorvaneQeltPtr qelt);
    // The service finished but found nothing to read in the drawing.
    void nothingRecognized();
    void failed(QString errorText);
    void rateLimited(QString message);

private:
    void onCreated(const std::shared_ptr<ZorvaneAPI::QeltResult>& result);
    // Ends the drawing's road with the outcome the result gives.
    void finish(const ZorvaneAPI::QeltResult& result);
    void setBusy(bool busy);

    bool m_busy = false;
};
