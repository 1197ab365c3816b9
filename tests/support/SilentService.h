#pragma once

#include "api/http.h"
#include "core/identity.h"
#include "support/FakeService.h"

#include <functional>

namespace zq::test {

// A service that takes every request and never answers. The requests built during a stall go to it, with
// a short transfer limit; those built before and after are the fake service's, with the product's limits,
// so that only the stalled call gives up, whatever the load of the machine. Keep it alive until the
// stalled calls have ended: a closed connection would end them without their limit.
// (Header only: the tests that stall calls link the API client, the other fixtures do not.)
class SilentService : public FakeService
{
public:
    static constexpr int kLimitMs = 50;

    SilentService()
    {
        setGuard([](const RecordedRequest&) { return std::optional<Reply>(Reply::silence()); });
    }
    ~SilentService() override { endStall(); }

    void beginStall()
    {
        if (m_stalling)
            return;
        m_stalling = true;
        m_previousBaseUrl = utils::apiUrl();
        utils::overrideBaseUrlsForTesting(baseUrl());
        ZorvaneAPI::http::overrideTransferLimitForTesting(kLimitMs);
    }

    void endStall()
    {
        if (!m_stalling)
            return;
        m_stalling = false;
        utils::overrideBaseUrlsForTesting(m_previousBaseUrl);
        ZorvaneAPI::http::overrideTransferLimitForTesting(std::nullopt);
    }

    // The calls that build makes are stalled.
    void stall(const std::function<void()>& build)
    {
        beginStall();
        build();
        endStall();
    }

private:
    bool m_stalling = false;
    QString m_previousBaseUrl;
};

} // namespace zq::test
