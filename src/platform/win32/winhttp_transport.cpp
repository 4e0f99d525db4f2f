#include "platform/win32/winhttp_transport.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/platform_error.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

using Clock = std::chrono::steady_clock;

// The exchange runs on a worker thread so that the caller's wait ends at the time limit even
// where WinHTTP's own time-outs do not bound a phase. The worker sets each phase's time-outs to
// the time left, so an abandoned worker ends soon after; it owns its handles and this state.
struct Exchange {
    std::u16string url;
    std::u16string header;
    std::string body;
    Clock::time_point deadline;

    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    HttpAnswer answer;
    std::optional<PlatformError> error;
};

struct InternetCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

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

// Bounds every phase that may start next by the time left. Under Wine the receive time-out does
// not bound waiting for the answer over TLS; the response time-out does.
void LimitPhases(HINTERNET request, const Exchange& exchange, const char16_t* operation) {
    const int left = TimeLeftMs(exchange, operation);
    if (!WinHttpSetTimeouts(request, left, left, left, left)) {
        FailLast(u"WinHttpSetTimeouts");
    }
    DWORD responseLimit = static_cast<DWORD>(left);
    if (!WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseLimit,
                          sizeof responseLimit)) {
        FailLast(u"WinHttpSetOption");
    }
}

InternetHandle OpenSession() {
    // No agent name: the request carries no header of ours but the content type.
    HINTERNET session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        // Systems before Windows 8.1 know only the configured default proxy.
        session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
    }
    if (session == nullptr) {
        FailLast(u"WinHttpOpen");
    }
    return InternetHandle(session);
}

std::wstring QueryText(HINTERNET request, DWORD info) {
    DWORD bytes = 0;
    WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &bytes,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) {
        return {};  // the header is absent
    }
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX)) {
        FailLast(u"WinHttpQueryHeaders");
    }
    text.resize(bytes / sizeof(wchar_t));
    return text;
}

// The code page named by the charset parameter of a Content-Type value; UTF-8 when there is
// none or the name is unknown.
UINT CodePageOf(const std::wstring& contentType) {
    std::wstring lower = contentType;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? c + 32 : c; });
    const size_t at = lower.find(L"charset=");
    if (at == std::wstring::npos) {
        return CP_UTF8;
    }
    std::wstring name = lower.substr(at + 8);
    name = name.substr(0, name.find_first_of(L"; \t"));
    name.erase(std::remove(name.begin(), name.end(), L'"'), name.end());
    static const std::pair<const wchar_t*, UINT> kNames[] = {
        {L"utf-8", CP_UTF8},   {L"utf8", CP_UTF8}, {L"gbk", 936},
        {L"gb2312", 936},      {L"cp936", 936},    {L"x-gbk", 936},
        {L"gb18030", 54936},   {L"big5", 950},     {L"us-ascii", 20127},
        {L"iso-8859-1", 1252}, {L"latin1", 1252},  {L"windows-1252", 1252},
        {L"shift_jis", 932},   {L"euc-kr", 949},   {L"iso-8859-15", 28605},
    };
    for (const auto& [known, codePage] : kNames) {
        if (name == known) {
            return codePage;
        }
    }
    return CP_UTF8;
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

HttpAnswer Perform(const Exchange& exchange) {
    const std::wstring url(Wide(exchange.url));
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
        FailLast(u"WinHttpCrackUrl");
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    const InternetHandle session = OpenSession();
    const InternetHandle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection) {
        FailLast(u"WinHttpConnect");
    }
    // Certificate checks stay as the system makes them: no security flag is ever relaxed.
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    const InternetHandle request(
        WinHttpOpenRequest(connection.get(), L"POST", path.empty() ? L"/" : path.c_str(), nullptr,
                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
    if (!request) {
        FailLast(u"WinHttpOpenRequest");
    }

    LimitPhases(request.get(), exchange, u"WinHttpSendRequest");
    const std::wstring header(Wide(exchange.header));
    const auto bodySize = static_cast<DWORD>(exchange.body.size());
    if (!WinHttpSendRequest(request.get(), header.c_str(), static_cast<DWORD>(header.size()),
                            const_cast<char*>(exchange.body.data()), bodySize, bodySize, 0)) {
        FailLast(u"WinHttpSendRequest");
    }
    LimitPhases(request.get(), exchange, u"WinHttpReceiveResponse");
    if (!WinHttpReceiveResponse(request.get(), nullptr)) {
        FailLast(u"WinHttpReceiveResponse");
    }

    HttpAnswer answer;
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                             WINHTTP_NO_HEADER_INDEX)) {
        FailLast(u"WinHttpQueryHeaders");
    }
    answer.status = static_cast<int>(status);
    const UINT codePage = CodePageOf(QueryText(request.get(), WINHTTP_QUERY_CONTENT_TYPE));

    std::string bytes;
    for (;;) {
        LimitPhases(request.get(), exchange, u"WinHttpReadData");
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available)) {
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
        if (!WinHttpReadData(request.get(), bytes.data() + start, static_cast<DWORD>(chunk),
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
    answer.body = Decode(bytes, codePage);
    return answer;
}

void Run(const std::shared_ptr<Exchange>& exchange) {
    std::optional<HttpAnswer> answer;
    std::optional<PlatformError> error;
    try {
        answer = Perform(*exchange);
    } catch (const PlatformError& failure) {
        error = failure;
    } catch (const std::exception&) {
        error = PlatformError(u"WinHTTP", SystemErrorText(ERROR_NOT_ENOUGH_MEMORY));
    }
    const std::lock_guard lock(exchange->mutex);
    if (answer) {
        exchange->answer = std::move(*answer);
    }
    exchange->error = std::move(error);
    exchange->done = true;
    exchange->finished.notify_one();
}

}  // namespace

HttpAnswer WinHttpTransport::Post(const std::u16string& url, const std::u16string& contentType,
                                  const std::string& body) {
    auto exchange = std::make_shared<Exchange>();
    exchange->url = url;
    exchange->header = u"CONTENT-TYPE: " + contentType;
    exchange->body = body;
    exchange->deadline = Clock::now() + timeLimit_;

    try {
        std::thread(Run, exchange).detach();
    } catch (const std::system_error& failure) {
        throw PlatformError(u"CreateThread",
                            SystemErrorText(static_cast<DWORD>(failure.code().value())));
    }

    std::unique_lock lock(exchange->mutex);
    // A short grace lets the worker report the system's own reason for a time-out first.
    const auto waitEnd = exchange->deadline + std::chrono::milliseconds(300);
    if (!exchange->finished.wait_until(lock, waitEnd, [&] { return exchange->done; })) {
        throw PlatformError(u"WinHttpReceiveResponse", SystemErrorText(ERROR_WINHTTP_TIMEOUT));
    }
    if (exchange->error) {
        throw *exchange->error;
    }
    return std::move(exchange->answer);
}

}  // namespace varnel::win32
