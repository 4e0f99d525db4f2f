// The WinHTTP transport over real HTTPS against the stand-in service. Each group runs against its
// own service configuration (tests/e2e/scenarios/services_*), named in CMakeLists.txt.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/platform_error.h"
#include "platform/win32/event_pump_win32.h"
#include "platform/win32/winhttp_transport.h"
#include "support.h"

namespace {

using namespace std::chrono_literals;
using varnel::win32::WinHttpTransport;
using Clock = std::chrono::steady_clock;

const std::u16string kForm = u"application/x-www-form-urlencoded";

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// services_answers: the service answers request n with step n of its scenario, so the rows run in
// that order, one request each.
TEST(TransportAnswers, EachAnswerAsTheServiceGaveIt) {
    const struct {
        const char* name;
        int status;  // 0: Post fails
        std::u16string body;
    } rows[] = {
        {"plain answer", 200, u"{\"result\":1}"},
        {"server error page", 500, u"<html><body>500 内部错误</body></html>"},
        {"charset=gbk", 200, u"当前软件为最新版本"},
        {"charset=GBK", 200, u"检测失败"},
        {"charset=big5", 200, u"繁體中文"},
        {"exactly 1 MiB", 200, std::u16string(1024 * 1024, u'a')},
        {"1 MiB and a byte", 0, u""},
        {"307 to a path of the same host", 200, u"moved"},
        {"307 to another port", 0, u""},
    };
    const std::string form = "sn=kesto&t=\xD6\xD0";  // bytes as given, not text
    for (const auto& row : rows) {
        try {
            const varnel::HttpAnswer answer =
                WinHttpTransport().Post(services::ServiceUrl(), kForm, form);
            EXPECT_EQ(answer.status, row.status) << row.name;
            EXPECT_TRUE(answer.body == row.body)
                << row.name << ": " << services::Utf8(answer.body.substr(0, 80));
        } catch (const varnel::PlatformError& error) {
            EXPECT_EQ(row.status, 0) << row.name << ": " << services::Utf8(error.Operation()) << " "
                                     << services::Utf8(error.Detail());
        }
    }

    const auto requests = services::ServiceRequests();
    ASSERT_EQ(requests.size(), std::size(rows) + 1) << "one request a row, the redirect's twice";
    const auto& first = requests[0];
    EXPECT_EQ(first["method"], "POST");
    EXPECT_EQ(first["path"], "/index.php/Index/soft_version");
    EXPECT_EQ(first["body_hex"], "736e3d6b6573746f26743dd6d0");
    int contentTypes = 0;
    for (const auto& header : first["headers"]) {
        const std::string name = header[0];
        EXPECT_NE(_stricmp(name.c_str(), "User-Agent"), 0) << "the request names an agent";
        if (_stricmp(name.c_str(), "Content-Type") == 0) {
            ++contentTypes;
            EXPECT_EQ(name, "CONTENT-TYPE");
            EXPECT_EQ(header[1], "application/x-www-form-urlencoded");
        }
    }
    EXPECT_EQ(contentTypes, 1);
    EXPECT_EQ(requests[8]["path"], "/index.php/Index/moved");
    EXPECT_EQ(requests[8]["body_hex"], first["body_hex"]);
}

// services_untrusted and services_tls_1_0 run this: the handshake fails, so nothing reaches the
// service, which would otherwise answer.
TEST(TransportRefuses, TheServersHandshake) {
    EXPECT_THROW(WinHttpTransport().Post(services::ServiceUrl(), kForm, "sn=kesto"),
                 varnel::PlatformError);
    EXPECT_TRUE(services::ServiceRequests().empty());
}

// services_hang: the service reads each request and never answers.
TEST(TransportHang, EndsWithinTheTimeLimit) {
    const auto start = Clock::now();
    EXPECT_THROW(WinHttpTransport(nullptr, 2s).Post(services::ServiceUrl(), kForm, "sn=kesto"),
                 varnel::PlatformError);
    EXPECT_GE(MsSince(start), 1900);
    EXPECT_LE(MsSince(start), 3000);
}

LRESULT CALLBACK Echo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_APP ? 42 : DefWindowProcW(window, message, wParam, lParam);
}

TEST(TransportHang, WithAPumpTheThreadAnswersAndAQuitEndsThePost) {
    const HWND window = services::MessageWindow(Echo, L"ServicesEchoWindow");
    ASSERT_NE(window, nullptr);
    const size_t before = services::ServiceRequests().size();
    const DWORD testThread = GetCurrentThreadId();
    long long roundTripMs = -1;
    DWORD_PTR echoed = 0;
    // Once the request is at the service, Post is waiting: a message sent from here is answered by
    // the test thread's window, then a quit request ends the wait.
    std::thread other([&] {
        if (services::WaitUntil([&] { return services::ServiceRequests().size() > before; },
                                5000)) {
            const auto sent = Clock::now();
            SendMessageTimeoutW(window, WM_APP, 0, 0, SMTO_NORMAL, 2000, &echoed);
            roundTripMs = MsSince(sent);
        }
        PostThreadMessageW(testThread, WM_QUIT, 0, 0);
    });
    varnel::win32::Win32EventPump pump;
    const auto start = Clock::now();
    EXPECT_THROW(WinHttpTransport(&pump, 8s).Post(services::ServiceUrl(), kForm, "sn=kesto"),
                 varnel::PlatformError);
    const long long elapsed = MsSince(start);
    other.join();
    EXPECT_EQ(echoed, 42u);
    EXPECT_GE(roundTripMs, 0);
    EXPECT_LT(roundTripMs, 500);
    EXPECT_LT(elapsed, 4000) << "the quit did not end the post";
    MSG quit{};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was lost";
    DestroyWindow(window);
}

// services_endless_headers: header lines without end until the client goes.
TEST(TransportEndlessHeaders, LeavesNoConnectionAndNoBusyThreadBehind) {
    EXPECT_THROW(WinHttpTransport(nullptr, 2s).Post(services::ServiceUrl(), kForm, "sn=kesto"),
                 varnel::PlatformError);
    EXPECT_TRUE(services::WaitUntil(
        [] { return services::ConnectionsTo(services::ServicePort()) == 0; }, 2000))
        << services::ConnectionsTo(services::ServicePort()) << " connections left open";
    const auto cpuMs = [] {
        FILETIME created, exited, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
        const auto ms = [](FILETIME t) {
            return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
        };
        return ms(kernel) + ms(user);
    };
    const ULONGLONG before = cpuMs();
    Sleep(2000);  // the span over which the process's CPU is measured
    EXPECT_LT(cpuMs() - before, 200u) << "ms of CPU in 2 s after the post ended";
}

}  // namespace
