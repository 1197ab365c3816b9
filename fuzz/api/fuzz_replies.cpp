// Every reader of a reply gets the same bytes: the chat answer stream (in the chunks the first byte
// picks, as a network reply delivers them), the generic sender's reply, the upload's reply, an
// output path from the service, the browser sign-in's status reply and process id, and the view page's
// DOCX export, solver and chat replies.
#include "api/APIHandler.h"
#include "api/GetConversionOutputRequest.h"
#include "api/LoginProcessResult.h"
#include "api/UploadFileRequest.h"
#include "api/eventStream.h"
#include "auth/flow/LoginFlow.h"
#include "core/identity.h"
#include "view/chat/chatReplies.h"
#include "view/docx/docxFiles.h"
#include "view/solver/Solver.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QUrl>
#include <QUrlQuery>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// A sequential device that receives its data in pieces, like a reply between two readyRead signals.
class ChunkDevice : public QIODevice
{
public:
    ChunkDevice() { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return pending.size() + QIODevice::bytesAvailable(); }
    bool canReadLine() const override { return pending.contains('\n') || QIODevice::canReadLine(); }

    QByteArray pending;

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = qMin<qint64>(maxSize, pending.size());
        std::memcpy(data, pending.constData(), size_t(count));
        pending.remove(0, int(count));
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
};

// Only complete lines are consumed, and a payload is always a piece of the stream.
void readEventStream(const QByteArray& bytes)
{
    using namespace ZorvaneAPI::eventStream;
    const int chunk = bytes.isEmpty() ? 1 : (uchar(bytes.at(0)) % 64) + 1;
    const QByteArray stream = bytes.mid(1);
    ChunkDevice device;
    for (int at = 0; at < stream.size(); at += chunk) {
        device.pending.append(stream.mid(at, chunk));
        const QByteArray payload = takeLastPayload(device);
        check(payload.isEmpty() || stream.contains(payload));
        const Answer answer = parseAnswer(payload);
        check(answer.error == PayloadError::None || answer.text.isEmpty());
        check(!device.canReadLine());
    }
    check(device.readAll() == stream.mid(stream.lastIndexOf('\n') + 1));
}

// A path let through leads to the API host, also once its address is written out and read back.
void readOutputPath(const QString& path)
{
    static const QUrl base = [] {
        utils::overrideBaseUrlsForTesting(QStringLiteral("https://api.example.test"));
        return QUrl(utils::apiUrl());
    }();
    if (!ZorvaneAPI::GetConversionOutputRequest::isOutputPathOnApiHost(path))
        return;
    const QUrl url(utils::apiUrl() + path, QUrl::TolerantMode);
    for (const QUrl& u : {url, QUrl::fromEncoded(url.toEncoded(), QUrl::StrictMode)})
        check(u.isValid() && u.scheme() == base.scheme() && u.host() == base.host() &&
              u.port() == base.port() && u.userInfo().isEmpty());
}

// A sign-in ends only with an account, and a process id reaches the browser only inside the accounts
// page's query.
void readLoginReplies(const QJsonObject& object, const QString& processId)
{
    ZorvaneAPI::LoginProcessResult result;
    result.errors = ZorvaneAPI::parseErrors(object);
    for (const auto& [key, field] : {std::pair{"status", &result.status}, std::pair{"email", &result.email},
                                     std::pair{"token", &result.token}})
        if (object.value(QLatin1String(key)).isString())
            *field = object.value(QLatin1String(key)).toString();
    if (LoginFlow::stepFor(result) == LoginFlow::Step::SignedIn)
        check(!result.email.isEmpty() && !result.token.isEmpty() && result.errors.isEmpty());

    static const QUrl accounts = [] {
        utils::overrideBaseUrlsForTesting(QStringLiteral("https://api.example.test"));
        return QUrl(utils::accountsUrl());
    }();
    for (const auto page : {LoginFlow::Page::Login, LoginFlow::Page::SignUp}) {
        const QUrl url = LoginFlow::pageUrl(page, processId);
        check(url.isEmpty() != LoginFlow::isUsableProcessId(processId));
        if (url.isEmpty())
            continue;
        const QUrl reread = QUrl::fromEncoded(url.toEncoded(), QUrl::StrictMode);
        check(reread.isValid() && reread.host() == accounts.host() && reread.userInfo().isEmpty() &&
              (reread.path() == "/login" || reread.path() == "/signup") && reread.fragment().isNull());
        check(QUrlQuery(reread).queryItemValue("login_uuid", QUrl::FullyDecoded) == processId);
    }
}

// A DOCX reply is a document exactly when it starts as a ZIP archive, and otherwise says why not; a
// solution is the reply's string; a history gives at most two bubbles an exchange; a failure is told
// whenever the reply carries a message or errors; a chat picture fits into 500 x 500.
void readActionReplies(const QByteArray& bytes, const QJsonObject& object)
{
    const docxFiles::Reading reading = docxFiles::readReply(bytes);
    check(reading.isDocument == bytes.startsWith(QByteArray("PK\x03\x04", 4)));
    check(reading.isDocument || reading.error.value("id").isString());

    const QString summary = Solver::summaryFrom(QJsonDocument::fromJson(bytes));
    check(summary.isEmpty() || object.value("summary").toString() == summary);

    QVector<std::shared_ptr<ZorvaneQeltChatMsg>> messages;
    for (const QJsonValue& value : object.value("data").toArray())
        messages << (value.isObject() ? ZorvaneQeltChatMsg::fromJson(value.toObject()) : nullptr);
    check(chatReplies::bubblesOf(messages).size() <= 2 * messages.size());

    ZorvaneAPI::Result result;
    result.errors = ZorvaneAPI::parseErrors(object);
    result.message = object.value("message").toString();
    check(chatReplies::failureOf(result, "Failed").has_value() ==
          (!result.message.isEmpty() || !result.errors.isEmpty()));

    if (bytes.size() >= 8) {
        int side[2];
        std::memcpy(side, bytes.constData(), sizeof side);
        const QSize fitted = chatReplies::fittedImageSize(QSize(side[0], side[1]));
        check(fitted.isValid() == (side[0] > 0 && side[1] > 0));
        check(!fitted.isValid() || (fitted.width() >= 1 && fitted.width() <= 500 && fitted.height() >= 1 &&
                                    fitted.height() <= 500 && qMax(fitted.width(), fitted.height()) == 500));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    readEventStream(bytes);
    readOutputPath(QString::fromUtf8(bytes));

    const APIHandler::ReplyOutcome outcome = APIHandler::interpretJsonReply(bytes);
    check(!outcome.document.isNull() || (!outcome.success && !outcome.failure.isEmpty()));
    APIHandler::improveOcrSettingFrom(outcome.document);

    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    readLoginReplies(object, object.value("uuid").isString() ? object.value("uuid").toString()
                                                             : QString::fromUtf8(bytes));
    check(ZorvaneAPI::UploadFileRequest::urlFrom(object).has_value() == object.value("url").isString());
    readActionReplies(bytes, object);
    return 0;
}
