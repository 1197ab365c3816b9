#include "api/Provider.h"

#include "api/ClearChatHistoryRequest.h"
#include "api/CreateConversionRequest.h"
#include "api/CreateQeltFromStrokesRequest.h"
#include "api/CreateQeltRequest.h"
#include "api/GenerateLoginProcessIdRequest.h"
#include "api/GetChatHistoryRequest.h"
#include "api/GetConversionOutputRequest.h"
#include "api/GetConversionRequest.h"
#include "api/GetLoginProcessStatusRequest.h"
#include "api/GetPdfRequest.h"
#include "api/GetPdfsRequest.h"
#include "api/GetQeltRequest.h"
#include "api/SendMessageRequest.h"
#include "api/UploadFileRequest.h"
#include "api/UploadPdfRequest.h"
#include "core/userState.h"

#include <memory>

namespace ZorvaneAPI {

Provider& Provider::instance()
{
    static Provider provider;
    return provider;
}

void Provider::setAccount(const QString& email, const QString& token)
{
    m_token = token;
    utils::setAuthInfo(email, token);
}

CreateQeltRequest* Provider::createQeltRequest()
{
    return new CreateQeltRequest(&m_manager, m_token);
}

CreateQeltFromStrokesRequest* Provider::createQeltFromStrokesRequest()
{
    return new CreateQeltFromStrokesRequest(&m_manager, m_token);
}

GetQeltRequest* Provider::getQeltRequest()
{
    return new GetQeltRequest(&m_manager, m_token);
}

UploadFileRequest* Provider::uploadFileRequest()
{
    return new UploadFileRequest(&m_manager, m_token);
}

UploadPdfRequest* Provider::uploadPdfRequest()
{
    return new UploadPdfRequest(&m_manager, m_token);
}

GetPdfRequest* Provider::getPdfRequest()
{
    return new GetPdfRequest(&m_manager, m_token);
}

GetPdfsRequest* Provider::getPdfsRequest()
{
    return new GetPdfsRequest(&m_manager, m_token);
}

GetChatHistoryRequest* Provider::getChatHistoryRequest()
{
    return new GetChatHistoryRequest(&m_manager, m_token);
}

ClearChatHistoryRequest* Provider::clearChatHistoryRequest()
{
    return new ClearChatHistoryRequest(&m_manager, m_token);
}

SendMessageRequest* Provider::sendMessageRequest()
{
    return new SendMessageRequest(&m_manager, m_token);
}

GenerateLoginProcessIdRequest* Provider::generateLoginProcessIdRequest()
{
    return new GenerateLoginProcessIdRequest(&m_manager);
}

GetLoginProcessStatusRequest* Provider::getLoginProcessStatusRequest()
{
    return new GetLoginProcessStatusRequest(&m_manager);
}

CreateConversionRequest* Provider::createConversionRequest()
{
    return new CreateConversionRequest(&m_manager, m_token);
}

GetConversionRequest* Provider::getConversionRequest()
{
    return new GetConversionRequest(&m_manager, m_token);
}

GetConversionOutputRequest* Provider::getConversionOutputRequest()
{
    return new GetConversionOutputRequest(&m_manager, m_token);
}

RequestRepeater* Provider::getQeltRepeater(RequestRepeater::Executor executor)
{
    // The request must not leak when the repeater refuses an empty executor.
    std::unique_ptr<GetQeltRequest> request(getQeltRequest());
    auto* repeater = new RequestRepeater(request.get(), std::move(executor));
    request.release();
    return repeater;
}

} // namespace ZorvaneAPI
