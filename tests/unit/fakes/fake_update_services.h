// Fakes for the update check: code pages, a recording HTTP transport and the process exit.
// Program start is FakeProgramStarter of fake_repair.h.
#pragma once

#include <iconv.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/http.h"
#include "platform/platform_error.h"
#include "platform/text_code_page.h"
#include "platform/window_services.h"

namespace varnel::testing {

// The GBK code page (936) through glibc's iconv, one UTF-16 unit at a time. A unit GBK cannot
// hold takes the code of "?", as the system's conversion does.
class GbkCodePage : public AnsiCodePage {
public:
    GbkCodePage() : cd_(iconv_open("GBK", "UTF-16LE")) {}
    ~GbkCodePage() override { iconv_close(cd_); }
    GbkCodePage(const GbkCodePage&) = delete;
    GbkCodePage& operator=(const GbkCodePage&) = delete;

    int16_t CodeOf(char16_t unit) const override {
        char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        char out[4] = {};
        char* inPtr = in;
        char* outPtr = out;
        size_t inLeft = sizeof in;
        size_t outLeft = sizeof out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            return '?';
        }
        const auto first = static_cast<uint8_t>(out[0]);
        if (outPtr - out == 1) {
            return first;
        }
        return static_cast<int16_t>(
            static_cast<uint16_t>(first * 256 + static_cast<uint8_t>(out[1])));
    }

private:
    iconv_t cd_;
};

// A code page given as a table; units not in it are single bytes equal to their value.
class TableCodePage : public AnsiCodePage {
public:
    explicit TableCodePage(std::map<char16_t, int16_t> codes) : codes_(std::move(codes)) {}
    int16_t CodeOf(char16_t unit) const override {
        const auto it = codes_.find(unit);
        return it != codes_.end() ? it->second : static_cast<int16_t>(unit);
    }

private:
    std::map<char16_t, int16_t> codes_;
};

// Records every request and answers with a fixed answer, or throws when told to fail.
class FakeTransport : public HttpTransport {
public:
    struct Request {
        std::u16string url, contentType;
        std::string body;
    };
    HttpAnswer Post(const std::u16string& url, const std::u16string& contentType,
                    const std::string& body) override {
        requests.push_back({url, contentType, body});
        if (during) {
            during();  // what the user does while the exchange runs
        }
        if (fail) {
            throw PlatformError(u"WinHttpSendRequest", u"The operation timed out (12002)");
        }
        return answer;
    }

    HttpAnswer answer{200, u""};
    bool fail = false;
    std::function<void()> during;
    std::vector<Request> requests;
};

// The process cannot end inside a test, so ending it unwinds the caller with this exception.
struct ProcessEnded {};

class FakeProcessExit : public ProcessExit {
public:
    [[noreturn]] void EndNow() override {
        ++ends;
        throw ProcessEnded{};
    }
    int ends = 0;
};

}  // namespace varnel::testing
