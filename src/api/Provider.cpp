#include "api/Provider.h"

#include "api/CreateQeltFromStrokesRequest.h"
#include "api/CreateQeltRequest.h"
#include "api/GetQeltRequest.h"
#include "api/UploadFileRequest.h"

#include <memory>

namespace ZorvaneAPI {

Provider& Provider::instance()
{
    static Provider provider;
    return provider;
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

RequestRepeater* Provider::getQeltRepeater(RequestRepeater::Executor executor)
{
    // The request must not leak when the repeater refuses an empty executor.
    std::unique_ptr<GetQeltRequest> request(getQeltRequest());
    auto* repeater = new RequestRepeater(request.get(), std::move(executor));
    request.release();
    return repeater;
}

} // namespace ZorvaneAPI
