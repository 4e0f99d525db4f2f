#include "platform/win32/winhttp_transport.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/platform_error.h"
#include "platform/win32/connection_cutter.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"
#include "platform/win32/winhttp_api.h"
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
// How long a cancelled worker may take to notice before its connection is cut.
constexpr DWORD kCancelGraceMs = 200;

// The exchange runs on a worker thread so that the waiting side stays in charge of the time
// limit and of the window's events. At the limit the waiting side closes the request handle,
// which cancels whatever WinHTTP is doing with it; the worker then winds down and closes the rest.
struct Exchange {
    std::u16string url;
    std::u16string header;
    std::string body;
    Clock::time_point deadline;
    ScopedHandle finished{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    std::mutex mutex;
    HINTERNET request = nullptr;  // open while the worker uses it; closed by whichever side ends
    bool cancelled = false;
    HttpAnswer answer;
    std::optional<PlatformError> error;
};

struct InternetCloser {
    void operator()(HINTERNET handle) const { WinHttp().CloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

[[noreturn]] void Fail(const char16_t* operation, DWORD error) {
    throw PlatformError(operation, SystemErrorText(error));
}

[[noreturn]] void FailLast(const char16_t* operation) {
    Fail(operation, GetLastError());
}

// Closes the request handle if neither side has yet. Cancelling also stops the exchange: no
// further request (a redirect's) may start. The worker's own close of a finished request does
// not, or no redirect could be followed.
void CloseRequest(Exchange& exchange, bool cancel) {
    const std::lock_guard lock(exchange.mutex);
    exchange.cancelled = exchange.cancelled || cancel;
    if (exchange.request != nullptr) {
        WinHttp().CloseHandle(exchange.request);
        exchange.request = nullptr;
    }
}

void Cancel(Exchange& exchange) {
    CloseRequest(exchange, true);
}

// The worker's request, shared with the waiting side so that it can be cancelled.
class SharedRequest {
public:
    SharedRequest(Exchange& exchange, HINTERNET request) : exchange_(exchange), handle_(request) {
        if (request == nullptr) {
            FailLast(u"WinHttpOpenRequest");
        }
        const std::lock_guard lock(exchange_.mutex);
        if (exchange_.cancelled) {
            WinHttp().CloseHandle(request);
            Fail(u"WinHttpOpenRequest", ERROR_WINHTTP_OPERATION_CANCELLED);
        }
        exchange_.request = request;
    }
    ~SharedRequest() { CloseRequest(exchange_, false); }
    SharedRequest(const SharedRequest&) = delete;
    SharedRequest& operator=(const SharedRequest&) = delete;

    HINTERNET Get() const { return handle_; }

private:
    Exchange& exchange_;
    HINTERNET handle_;
};

// Milliseconds left before the deadline, at least 1: a time-out of 0 means "none" to WinHTTP.
int TimeLeftMs(const Exchange& exchange, const char16_t* operation) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(exchange.deadline - Clock::now());
    if (left.count() <= 0) {
        Fail(operation, ERROR_WINHTTP_TIMEOUT);
    }
    return static_cast<int>(left.count());
}

// Bounds every phase that may start next by the time left. Under Wine the receive time-out does
// not bound waiting for the answer over TLS; the response time-out does.
void LimitPhases(HINTERNET request, const Exchange& exchange, const char16_t* operation) {
    const int left = TimeLeftMs(exchange, operation);
    if (!WinHttp().SetTimeouts(request, left, left, left, left)) {
        FailLast(u"WinHttpSetTimeouts");
    }
    DWORD responseLimit = static_cast<DWORD>(left);
    if (!WinHttp().SetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseLimit,
                             sizeof responseLimit)) {
        FailLast(u"WinHttpSetOption");
    }
}

InternetHandle OpenSession() {
    const WinHttpApi& api = WinHttp();
    // No agent name: the request carries no header of ours but the content type.
    HINTERNET session = api.Open(nullptr, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) {
        FailLast(u"WinHttpOpen");
    }
    InternetHandle owned(session);
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
void LimitRequest(HINTERNET request) {
    const WinHttpApi& api = WinHttp();
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

std::wstring QueryText(HINTERNET request, DWORD info) {
    DWORD bytes = 0;
    WinHttp().QueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &bytes,
                           WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) {
        return {};  // the header is absent
    }
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (!WinHttp().QueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
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

Target Crack(const std::wstring& url) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttp().CrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
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
Target RedirectTarget(const Target& from, const std::wstring& location) {
    if (!location.empty() && location[0] == L'/' && (location.size() < 2 || location[1] != L'/')) {
        Target next = from;
        next.path = location;
        return next;
    }
    return Crack(location);
}

std::string ReadBody(HINTERNET request, const Exchange& exchange) {
    std::string bytes;
    for (;;) {
        LimitPhases(request, exchange, u"WinHttpReadData");
        DWORD available = 0;
        if (!WinHttp().QueryDataAvailable(request, &available)) {
            FailLast(u"WinHttpQueryDataAvailable");
        }
        if (available == 0) {
            return bytes;
        }
        // Read at most one byte past the limit: enough to know the answer is too large.
        const size_t room = WinHttpTransport::kBodyLimit + 1 - bytes.size();
        const size_t chunk = std::min<size_t>(available, room);
        const size_t start = bytes.size();
        bytes.resize(start + chunk);
        DWORD read = 0;
        if (!WinHttp().ReadData(request, bytes.data() + start, static_cast<DWORD>(chunk), &read)) {
            FailLast(u"WinHttpReadData");
        }
        bytes.resize(start + read);
        if (bytes.size() > WinHttpTransport::kBodyLimit) {
            throw PlatformError(u"WinHttpReadData", u"The answer is larger than 1 MiB.");
        }
        if (read == 0) {
            return bytes;
        }
    }
}

HttpAnswer Perform(Exchange& exchange) {
    const WinHttpApi& api = WinHttp();
    Target target = Crack(std::wstring(Wide(exchange.url)));
    const InternetHandle session = OpenSession();
    for (int redirects = 0;; ++redirects) {
        const InternetHandle connection(
            api.Connect(session.get(), target.host.c_str(), target.port, 0));
        if (!connection) {
            FailLast(u"WinHttpConnect");
        }
        // Certificate checks stay as the system makes them: no security flag is ever relaxed.
        const DWORD secure = target.https ? WINHTTP_FLAG_SECURE : 0;
        const SharedRequest request(
            exchange, api.OpenRequest(connection.get(), L"POST", target.path.c_str(), nullptr,
                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
        LimitRequest(request.Get());

        LimitPhases(request.Get(), exchange, u"WinHttpSendRequest");
        const std::wstring header(Wide(exchange.header));
        const auto bodySize = static_cast<DWORD>(exchange.body.size());
        if (!api.SendRequest(request.Get(), header.c_str(), static_cast<DWORD>(header.size()),
                             const_cast<char*>(exchange.body.data()), bodySize, bodySize, 0)) {
            FailLast(u"WinHttpSendRequest");
        }
        LimitPhases(request.Get(), exchange, u"WinHttpReceiveResponse");
        if (!api.ReceiveResponse(request.Get(), nullptr)) {
            FailLast(u"WinHttpReceiveResponse");
        }

        DWORD status = 0;
        DWORD statusSize = sizeof status;
        if (!api.QueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                              WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                              WINHTTP_NO_HEADER_INDEX)) {
            FailLast(u"WinHttpQueryHeaders");
        }
        const std::wstring location =
            IsRedirect(status) ? QueryText(request.Get(), WINHTTP_QUERY_LOCATION) : L"";
        if (!location.empty()) {
            // Only to the same host over https: an answer from anywhere else is not the
            // service's, and plain http would give it away to anyone on the way.
            const Target next = RedirectTarget(target, location);
            if (redirects == kMaxRedirects || !SameHost(target, next)) {
                Fail(u"WinHttpReceiveResponse", ERROR_WINHTTP_REDIRECT_FAILED);
            }
            target = next;
            continue;
        }
        HttpAnswer answer;
        answer.status = static_cast<int>(status);
        const UINT codePage =
            CodePageOfContentType(FromWide(QueryText(request.Get(), WINHTTP_QUERY_CONTENT_TYPE)));
        answer.body = Decode(ReadBody(request.Get(), exchange), codePage);
        return answer;
    }
}

// The worker thread. It holds a reference of its own to the exchange, which the waiting side may
// have left at the time limit.
DWORD WINAPI Run(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Exchange>> held(
        static_cast<std::shared_ptr<Exchange>*>(parameter));
    const std::shared_ptr<Exchange>& exchange = *held;
    std::optional<HttpAnswer> answer;
    std::optional<PlatformError> error;
    try {
        answer = Perform(*exchange);
    } catch (const PlatformError& failure) {
        error = failure;
    } catch (const std::exception&) {
        error = PlatformError(u"WinHTTP", SystemErrorText(ERROR_NOT_ENOUGH_MEMORY));
    }
    {
        const std::lock_guard lock(exchange->mutex);
        if (answer) {
            exchange->answer = std::move(*answer);
        }
        exchange->error = std::move(error);
    }
    SetEvent(exchange->finished.Get());
    return 0;
}

// Waits for the worker until the time is up. With a pump, the window's events are handled
// meanwhile, as in the one-click repair's pauses; a quit request met there ends the wait.
enum class Waited { Finished, TimedOut, Quit };

Waited WaitFor(HANDLE finished, Clock::time_point end, EventPump* pump) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) {
            return Waited::TimedOut;
        }
        const auto ms = static_cast<DWORD>(left.count());
        if (pump == nullptr) {
            if (WaitForSingleObject(finished, ms) == WAIT_OBJECT_0) {
                return Waited::Finished;
            }
            continue;
        }
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(1, &finished, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) {
            return Waited::Finished;
        }
        if (woke == WAIT_FAILED) {
            ThrowLastError(u"MsgWaitForMultipleObjectsEx");
        }
        if (!pump->DispatchPending()) {
            return Waited::Quit;
        }
    }
}

}  // namespace

HttpAnswer WinHttpTransport::Post(const std::u16string& url, const std::u16string& contentType,
                                  const std::string& body) {
    WinHttp();  // loaded here, so that a missing DLL fails in the caller's thread
    auto exchange = std::make_shared<Exchange>();
    if (!exchange->finished.Valid()) {
        ThrowLastError(u"CreateEventW");
    }
    exchange->url = url;
    exchange->header = u"CONTENT-TYPE: " + contentType;
    exchange->body = body;
    exchange->deadline = Clock::now() + timeLimit_;

    auto held = std::make_unique<std::shared_ptr<Exchange>>(exchange);
    if (!ScopedHandle(CreateThread(nullptr, 0, Run, held.get(), 0, nullptr)).Valid()) {
        ThrowLastError(u"CreateThread");
    }
    held.release();  // the worker's from now on

    // A short grace lets the worker report the system's own reason for a time-out first.
    const auto waitEnd = exchange->deadline + std::chrono::milliseconds(300);
    switch (WaitFor(exchange->finished.Get(), waitEnd, pump_)) {
        case Waited::Finished:
            break;
        case Waited::TimedOut:
            Cancel(*exchange);
            if (WaitForSingleObject(exchange->finished.Get(), kCancelGraceMs) != WAIT_OBJECT_0) {
                // Still reading: its connection goes, or the thread would read on.
                CutConnectionsTo(Crack(std::wstring(Wide(url))).port);
            }
            throw PlatformError(u"WinHttpReceiveResponse", SystemErrorText(ERROR_WINHTTP_TIMEOUT));
        case Waited::Quit:
            Cancel(*exchange);
            throw PlatformError(u"WinHttpReceiveResponse",
                                SystemErrorText(ERROR_WINHTTP_OPERATION_CANCELLED));
    }
    const std::lock_guard lock(exchange->mutex);
    if (exchange->error) {
        throw *exchange->error;
    }
    return std::move(exchange->answer);
}

}  // namespace varnel::win32
