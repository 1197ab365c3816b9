#pragma once

#include "api/RequestRepeater.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>

namespace ZorvaneAPI {

class ClearChatHistoryRequest;
class CreateConversionRequest;
class CreateQeltFromStrokesRequest;
class CreateQeltRequest;
class GenerateLoginProcessIdRequest;
class GetChatHistoryRequest;
class GetConversionOutputRequest;
class GetConversionRequest;
class GetLoginProcessStatusRequest;
class GetPdfRequest;
class GetPdfsRequest;
class GetQeltRequest;
class UploadFileRequest;
class SendMessageRequest;
class UploadPdfRequest;

// The process's one network access manager and the signed-in user's bearer token, and the only maker
// of request objects. Each factory returns a new parentless request bound to the manager and to the
// token of that moment; the caller owns it and disposes of it with deleteLater after finished.
// A new request class adds its factory here, next to its peers.
class Provider : public QObject
{
    Q_OBJECT

public:
    static Provider& instance();

    void setToken(const QString& token) { m_token = token; }
    // Sign-in and sign-out (empty strings): the token goes to this provider, and the pair to the stored
    // AuthInfo setting that the generic sender reads and the next start restores.
    void setAccount(const QString& email, const QString& token);
    bool hasToken() const { return !m_token.isEmpty(); }
    QString token() const { return m_token; }

    // The manager that the generic sender and the Qelt controllers share with the requests.
    QNetworkAccessManager* networkAccessManager() { return &m_manager; }

    CreateQeltRequest* createQeltRequest();
    CreateQeltFromStrokesRequest* createQeltFromStrokesRequest();
    GetQeltRequest* getQeltRequest();
    UploadFileRequest* uploadFileRequest();

    UploadPdfRequest* uploadPdfRequest();
    GetPdfRequest* getPdfRequest();
    GetPdfsRequest* getPdfsRequest();
    GetChatHistoryRequest* getChatHistoryRequest();
    ClearChatHistoryRequest* clearChatHistoryRequest();
    SendMessageRequest* sendMessageRequest();
    // The two sign-in requests never carry a token, whatever the provider holds.
    GenerateLoginProcessIdRequest* generateLoginProcessIdRequest();
    GetLoginProcessStatusRequest* getLoginProcessStatusRequest();
    CreateConversionRequest* createConversionRequest();
    GetConversionRequest* getConversionRequest();
    GetConversionOutputRequest* getConversionOutputRequest();

    // A repeater around a new GetQeltRequest; the executor calls exec on it with the Qelt id it
    // captured, e.g. [id](Request* r) { static_cast<GetQeltRequest*>(r)->exec(id); }.
    RequestRepeater* getQeltRepeater(RequestRepeater::Executor executor);

private:
    Provider() = default;

    QNetworkAccessManager m_manager;
    QString m_token;
};

} // namespace ZorvaneAPI
