#include "platform/win32/winhttp_transport.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <memory>
#include <new>

#include "platform/platform_error.h"
#include "platform/win32/dynamic_calls_win32.h"
#include "platform/win32/text.h"
#include "text/content_type.h"

namespace varnel::win32 {
namespace {

using Clock = std::chrono::steady_clock;

#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

// Redirects followed, each only to the same https host and port.
constexpr int kMaxRedirects = 3;
// Response headers accepted; the service's are a few hundred bytes.
constexpr DWORD kHeaderLimit = 64 * 1024;

// One exchange from start to end, on the calling thread, which owns its handles throughout.
struct Exchange {
    const WinHttpApi& api;
    std::u16string url;
    std::u16string header;
    const std::string& body;
    Clock::time_point deadline;
};

struct InternetCloser {
    const WinHttpApi* api;
    void operator()(HINTERNET handle) const { api->CloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

InternetHandle Own(const WinHttpApi& api, HINTERNET handle) {
    return InternetHandle(handle, InternetCloser{&api});
}

[[noreturn]] void Fail(const char16_t* operation, DWORD error) {
    throw PlatformError(operation, SystemErrorText(error));
}

[[noreturn]] void FailLast(const char16_t* operation) {
    Fail(operation, GetLastError());
}

// Milliseconds left before the deadline, at least 1: a time-out of 0 means "none" to WinHTTP.
int TimeLeftMs(const Exchange& exchange, const char16_t* operation) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(exchange.deadline - Clock::now());
    if (left.count() <= 0) {
        Fail(operation, ERROR_WINHTTP_TIMEOUT);
    }
    return static_cast<int>(left.count());
}

// Bounds every phase that may start next by the time left: the receive time-out for reads, and
// the response time-out for the wait for the answer's headers, which the former need not bound.
void LimitPhases(HINTERNET request, const Exchange& exchange, const char16_t* operation) {
    const int left = TimeLeftMs(exchange, operation);
    if (!exchange.api.SetTimeouts(request, left, left, left, left)) {
        FailLast(u"WinHttpSetTimeouts");
    }
    DWORD responseLimit = static_cast<DWORD>(left);
    if (!exchange.api.SetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseLimit,
                                sizeof responseLimit)) {
        FailLast(u"WinHttpSetOption");
    }
}

InternetHandle OpenSession(const WinHttpApi& api) {
    // No agent name: the request carries no header of ours but the content type.
    HINTERNET session = api.Open(nullptr, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) {
        FailLast(u"WinHttpOpen");
    }
    InternetHandle owned = Own(api, session);
    // TLS 1.2 or newer only. Systems that do not know TLS 1.3 refuse its flag: then 1.2 alone.
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!api.SetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
        if (!api.SetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                           sizeof protocols)) {
            FailLast(u"WinHttpSetOption");
        }
    }
    return owned;
}

// Redirects are never followed by WinHTTP itself: the exchange decides where it may go.
void LimitRequest(const WinHttpApi& api, HINTERNET request) {
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!api.SetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never)) {
        FailLast(u"WinHttpSetOption");
    }
    // Not every system knows this option; where it does not, the time limit still ends the
    // exchange.
    DWORD headerLimit = kHeaderLimit;
    api.SetOption(request, WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE, &headerLimit,
                  sizeof headerLimit);
}

std::wstring QueryText(const WinHttpApi& api, HINTERNET request, DWORD info) {
    DWORD bytes = 0;
    api.QueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &bytes,
                     WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) {
        return {};  // the header is absent
    }
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (!api.QueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                          WINHTTP_NO_HEADER_INDEX)) {
        FailLast(u"WinHttpQueryHeaders");
    }
    text.resize(bytes / sizeof(wchar_t));
    return text;
}

std::u16string Decode(const std::string& bytes, UINT codePage) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (length == 0 && codePage != CP_UTF8) {
        codePage = CP_UTF8;  // a code page the system does not have
        length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    }
    if (length == 0) {
        FailLast(u"MultiByteToWideChar");
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), size, text.data(), length);
    return FromWide(text);
}

// One address taken apart.
struct Target {
    bool https = false;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;  // with its query
};

Target Crack(const WinHttpApi& api, const std::wstring& url) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!api.CrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
        FailLast(u"WinHttpCrackUrl");
    }
    Target target;
    target.https = parts.nScheme == INTERNET_SCHEME_HTTPS;
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    target.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    target.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (target.path.empty()) {
        target.path = L"/";
    }
    return target;
}

bool SameHost(const Target& a, const Target& b) {
    return a.https && b.https && a.port == b.port &&
           CompareStringOrdinal(a.host.c_str(), static_cast<int>(a.host.size()), b.host.c_str(),
                                static_cast<int>(b.host.size()), TRUE) == CSTR_EQUAL;
}

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Where a redirect leads: an absolute address, or a path on the same host.
Target RedirectTarget(const WinHttpApi& api, const Target& from, const std::wstring& location) {
    if (!location.empty() && location[0] == L'/' && (location.size() < 2 || location[1] != L'/')) {
        Target next = from;
        next.path = location;
        return next;
    }
    return Crack(api, location);
}

std::string ReadBody(HINTERNET request, const Exchange& exchange) {
    std::string bytes;
    for (;;) {
        LimitPhases(request, exchange, u"WinHttpReadData");
        DWORD available = 0;
        if (!exchange.api.QueryDataAvailable(request, &available)) {
            FailLast(u"WinHttpQueryDataAvailable");
        }
        if (available == 0) {
            break;
        }
        // Read at most one byte past the limit: enough to know the answer is too large.
        const size_t room = WinHttpTransport::kBodyLimit + 1 - bytes.size();
        const size_t chunk = std::min<size_t>(available, room);
        const size_t start = bytes.size();
        bytes.resize(start + chunk);
        DWORD read = 0;
        if (!exchange.api.ReadData(request, bytes.data() + start, static_cast<DWORD>(chunk),
                                   &read)) {
            FailLast(u"WinHttpReadData");
        }
        bytes.resize(start + read);
        if (bytes.size() > WinHttpTransport::kBodyLimit) {
            throw PlatformError(u"WinHttpReadData", u"The answer is larger than 1 MiB.");
        }
        if (read == 0) {
            break;
        }
    }
    // A connection closed before the announced length leaves a prefix, which may even read as a
    // complete answer: it is no answer.
    DWORD announced = 0;
    DWORD size = sizeof announced;
    if (exchange.api.QueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                  WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size,
                                  WINHTTP_NO_HEADER_INDEX) &&
        bytes.size() < announced) {
        Fail(u"WinHttpReadData", ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    }
    return bytes;
}

HttpAnswer Perform(const Exchange& exchange) {
    const WinHttpApi& api = exchange.api;
    Target target = Crack(api, std::wstring(Wide(exchange.url)));
    const InternetHandle session = OpenSession(api);
    for (int redirects = 0;; ++redirects) {
        const InternetHandle connection =
            Own(api, api.Connect(session.get(), target.host.c_str(), target.port, 0));
        if (!connection) {
            FailLast(u"WinHttpConnect");
        }
        // Certificate checks stay as the system makes them: no security flag is ever relaxed.
        const DWORD secure = target.https ? WINHTTP_FLAG_SECURE : 0;
        const InternetHandle request =
            Own(api, api.OpenRequest(connection.get(), L"POST", target.path.c_str(), nullptr,
                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
        if (!request) {
            FailLast(u"WinHttpOpenRequest");
        }
        LimitRequest(api, request.get());

        LimitPhases(request.get(), exchange, u"WinHttpSendRequest");
        const std::wstring header(Wide(exchange.header));
        const auto bodySize = static_cast<DWORD>(exchange.body.size());
        if (!api.SendRequest(request.get(), header.c_str(), static_cast<DWORD>(header.size()),
                             const_cast<char*>(exchange.body.data()), bodySize, bodySize, 0)) {
            FailLast(u"WinHttpSendRequest");
        }
        LimitPhases(request.get(), exchange, u"WinHttpReceiveResponse");
        if (!api.ReceiveResponse(request.get(), nullptr)) {
            FailLast(u"WinHttpReceiveResponse");
        }

        DWORD status = 0;
        DWORD statusSize = sizeof status;
        if (!api.QueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                              WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                              WINHTTP_NO_HEADER_INDEX)) {
            FailLast(u"WinHttpQueryHeaders");
        }
        const std::wstring location =
            IsRedirect(status) ? QueryText(api, request.get(), WINHTTP_QUERY_LOCATION) : L"";
        if (!location.empty()) {
            // Only to the same host over https: an answer from anywhere else is not the
            // service's, and plain http would give it away to anyone on the way.
            const Target next = RedirectTarget(api, target, location);
            if (redirects == kMaxRedirects || !SameHost(target, next)) {
                Fail(u"WinHttpReceiveResponse", ERROR_WINHTTP_REDIRECT_FAILED);
            }
            target = next;
            continue;
        }
        HttpAnswer answer;
        answer.status = static_cast<int>(status);
        const UINT codePage = CodePageOfContentType(
            FromWide(QueryText(api, request.get(), WINHTTP_QUERY_CONTENT_TYPE)));
        answer.body = Decode(ReadBody(request.get(), exchange), codePage);
        return answer;
    }
}

}  // namespace

HttpAnswer WinHttpTransport::Post(const std::u16string& url, const std::u16string& contentType,
                                  const std::string& body) {
    const Exchange exchange{api_ ? *api_ : WinHttp(), url, u"CONTENT-TYPE: " + contentType, body,
                            Clock::now() + timeLimit_};
    try {
        return Perform(exchange);
    } catch (const std::bad_alloc&) {
        throw PlatformError(u"WinHTTP", SystemErrorText(ERROR_NOT_ENOUGH_MEMORY));
    }
}

}  // namespace varnel::win32
