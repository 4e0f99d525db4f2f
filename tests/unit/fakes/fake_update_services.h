// Fakes for the update check: a code page, a recording HTTP transport, the background exchange
// that a test completes by hand, and the process exit.
// Program start is FakeProgramStarter of fake_repair.h.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/http.h"
#include "platform/platform_error.h"
#include "platform/text_code_page.h"
#include "platform/window_services.h"
#include "update/version_check.h"

namespace varnel::testing {

// A code page given as a table; units not in it are single bytes equal to their value.
struct TableCodePage : AnsiCodePage {
    TableCodePage(std::map<char16_t, int16_t> codes) : codes(std::move(codes)) {}
    int16_t CodeOf(char16_t unit) const override {
        const auto it = codes.find(unit);
        return it != codes.end() ? it->second : static_cast<int16_t>(unit);
    }

    std::map<char16_t, int16_t> codes;
};

// Records every request and answers with a fixed answer, or throws when told to fail.
struct FakeTransport : HttpTransport {
    struct Request {
        std::u16string url, contentType;
        std::string body;
    };
    HttpAnswer Post(const std::u16string& url, const std::u16string& contentType,
                    const std::string& body) override {
        requests.push_back({url, contentType, body});
        if (fail)
            throw PlatformError(u"WinHttpSendRequest", u"The operation timed out (12002)");
        return answer;
    }

    HttpAnswer answer{200, u""};
    bool fail = false;
    std::vector<Request> requests;
};

// Records each start (address, body) and each abandonment; a test hands the result to the check.
struct FakeVersionExchange : VersionExchange {
    void Start(const std::u16string& address, const std::string& body) override {
        if (fail)
            throw PlatformError(u"CreateThread", u"Not enough memory resources (8)");
        started.emplace_back(address, body);
    }
    void Abandon() override { ++abandoned; }

    bool fail = false;
    std::vector<std::pair<std::u16string, std::string>> started;
    int abandoned = 0;
};

// The process cannot end inside a test, so ending it unwinds the caller with this exception.
struct ProcessEnded {};

struct FakeProcessExit : ProcessExit {
    [[noreturn]] void EndNow() override { throw ProcessEnded{}; }
};

}  // namespace varnel::testing
