// The start-up version check against the stand-in service over real HTTPS: what the service
// receives, and what the user sees for each kind of answer, for no answer and for a refused one.
#include <windows.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"

namespace {

using e2e::App;
using e2e::Box;

constexpr int kButtons[] = {101, 102, 103, 104, 105};  // Command1..Command5
constexpr int kMessagePanel = 2;

const std::wstring kChecking = L"正在检测是否有最新版本..";
const std::wstring kCheckFailed = L"检测失败,请先使用当前版本";
const std::wstring kOfferNewer = L"发现最新版本3.1.0\xFF0C是否现在更新?";

// The check starts by itself a second after start; the driver times everything from just before
// the program is started, on the tick count and on the wall clock the service records with.
struct Moment {
    ULONGLONG tick = GetTickCount64();
    double unixSeconds = UnixSeconds();

    static double UnixSeconds() {
        FILETIME now{};
        GetSystemTimePreciseAsFileTime(&now);
        const ULONGLONG ticks =
            (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        return static_cast<double>(ticks - 116444736000000000ULL) / 1e7;
    }
    ULONGLONG ElapsedMs() const { return GetTickCount64() - tick; }
};

App::Options Unready(std::vector<std::pair<std::wstring, std::wstring>> beside = {}) {
    App::Options options;
    options.waitReady = false;
    options.beside = std::move(beside);
    return options;
}

bool AnyButtonEnabled(const App& app) {
    for (int id : kButtons) {
        if (app.Enabled(id))
            return true;
    }
    return false;
}

bool AllButtonsEnabled(const App& app) {
    for (int id : kButtons) {
        if (!app.Enabled(id))
            return false;
    }
    return true;
}

struct Request {
    std::string method;
    std::string path;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    double unixSeconds = 0;

    std::vector<std::string> HeaderNamesLike(const std::string& name) const {
        std::vector<std::string> found;
        for (const auto& [header, value] : headers) {
            if (_stricmp(header.c_str(), name.c_str()) == 0)
                found.push_back(header);
        }
        return found;
    }
};

// What the stand-in service has received so far in this test, in order.
std::vector<Request> ServiceRequests() {
    const std::wstring path =
        e2e::BuildDirectory() + L"\\e2e\\service\\" + e2e::CurrentTestName() + L".requests.jsonl";
    const std::string text = e2e::Narrow(e2e::ReadTextFile(path));
    std::vector<Request> requests;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty())
            continue;
        const auto record = nlohmann::json::parse(line, nullptr, false);
        if (record.is_discarded())
            throw e2e::Failure{"the service's record holds a line that is not JSON: " + line};
        Request request;
        request.method = record.value("method", "");
        request.path = record.value("path", "");
        request.body = record.value("body", "");
        request.unixSeconds = record.value("time", 0.0);
        for (const auto& header : record.at("headers"))
            request.headers.emplace_back(header.at(0).get<std::string>(),
                                         header.at(1).get<std::string>());
        requests.push_back(std::move(request));
    }
    return requests;
}

// The lines recorder copies beside the program wrote, each as its tab-separated fields.
std::vector<std::vector<std::wstring>> RecorderLines(const std::wstring& directory) {
    const std::wstring text = e2e::ReadTextFile(directory + L"\\recorder.log");
    std::vector<std::vector<std::wstring>> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        end = end == std::wstring::npos ? text.size() : end;
        std::vector<std::wstring> fields;
        size_t field = start;
        for (;;) {
            const size_t tab = text.find(L'\t', field);
            if (tab == std::wstring::npos || tab > end) {
                fields.push_back(text.substr(field, end - field));
                break;
            }
            fields.push_back(text.substr(field, tab - field));
            field = tab + 1;
        }
        lines.push_back(std::move(fields));
        start = end + 2;
    }
    return lines;
}

// The pixels of a screen area, or of a system icon drawn over one background colour.
std::vector<COLORREF> Pixels(HDC source, int x, int y, int width, int height, HICON icon,
                             COLORREF background) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (icon == nullptr) {
        BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    } else {
        HBRUSH brush = CreateSolidBrush(background);
        RECT all{0, 0, width, height};
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    }
    GdiFlush();
    const auto* raw = static_cast<const DWORD*>(bits);
    std::vector<COLORREF> pixels(raw, raw + static_cast<size_t>(width) * height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

// Which of the system's box icons the box shows, judged from the screen: an icon handle means
// nothing outside the program's process.
std::wstring IconOf(const Box& box) {
    HWND picture = nullptr;
    EnumChildWindows(
        box.window,
        [](HWND child, LPARAM param) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(child, name, 16);
            const LONG style = GetWindowLongW(child, GWL_STYLE);
            if (_wcsicmp(name, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
                IsWindowVisible(child)) {
                *reinterpret_cast<HWND*>(param) = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&picture));
    if (picture == nullptr)
        return L"none";
    RECT area{};
    GetClientRect(picture, &area);
    MapWindowPoints(picture, nullptr, reinterpret_cast<POINT*>(&area), 2);
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return L"none";
    HDC screen = GetDC(nullptr);
    const auto shown = Pixels(screen, area.left, area.top, width, height, nullptr, 0);
    const COLORREF background = RGB(GetBValue(shown[0]), GetGValue(shown[0]), GetRValue(shown[0]));
    const std::pair<const wchar_t*, LPCWSTR> kinds[] = {{L"information", IDI_INFORMATION},
                                                        {L"question", IDI_QUESTION},
                                                        {L"warning", IDI_WARNING},
                                                        {L"error", IDI_ERROR}};
    std::wstring best = L"unclear";
    double bestDifference = 24.0;  // mean difference per channel that still counts as the same
    for (const auto& [kind, id] : kinds) {
        const auto drawn = Pixels(screen, 0, 0, width, height, LoadIconW(nullptr, id), background);
        double difference = 0;
        for (size_t i = 0; i < drawn.size(); ++i) {
            for (int shift : {0, 8, 16}) {
                const int a = static_cast<int>((shown[i] >> shift) & 0xFF);
                const int b = static_cast<int>((drawn[i] >> shift) & 0xFF);
                difference += a > b ? a - b : b - a;
            }
        }
        difference /= static_cast<double>(drawn.size() * 3);
        if (difference < bestDifference) {
            bestDifference = difference;
            best = kind;
        }
    }
    ReleaseDC(nullptr, screen);
    return best;
}

// The box names its icon once it has been painted.
std::wstring WaitForIcon(const Box& box) {
    std::wstring icon;
    e2e::WaitUntil([&] { return (icon = IconOf(box)) != L"unclear" && icon != L"none"; }, 3000,
                   100);
    return icon;
}

// The failed check as the user meets it, in time, with the start-up state kept until the box is
// answered; afterwards the buttons work and the status line still says what it said at start.
void ExpectCheckFailed(const App& app, const Moment& started) {
    const Box box = app.WaitForBox(30000);
    const ULONGLONG shownAfter = started.ElapsedMs();
    if (shownAfter > 12000)
        throw e2e::Failure{"the failure box came " + std::to_string(shownAfter) +
                           " ms after the start, later than 12 s"};
    E2E_CHECK_EQ(box.Text(), kCheckFailed);
    E2E_CHECK_EQ(box.Title(), std::wstring(L"提示"));
    E2E_CHECK(box.HasButton(IDOK));
    E2E_CHECK(!box.HasButton(IDYES) && !box.HasButton(IDNO) && !box.HasButton(IDCANCEL));
    E2E_CHECK_EQ(WaitForIcon(box), std::wstring(L"information"));
    E2E_CHECK(!AnyButtonEnabled(app));
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), kChecking);
    box.Press(IDOK);
    app.WaitReady(5000);
    E2E_CHECK(AllButtonsEnabled(app));
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), kChecking);
    E2E_CHECK(!app.BoxOpen());
}

// The update question for version 3.1.0, with the buttons still off behind it.
Box ExpectUpdateOffer(const App& app) {
    const Box box = app.WaitForBox(15000);
    E2E_CHECK_EQ(box.Text(), kOfferNewer);
    E2E_CHECK_EQ(box.Title(), std::wstring(L"提示"));
    E2E_CHECK(box.HasButton(IDYES) && box.HasButton(IDNO));
    E2E_CHECK(!box.HasButton(IDOK) && !box.HasButton(IDCANCEL));
    E2E_CHECK_EQ(WaitForIcon(box), std::wstring(L"information"));
    E2E_CHECK(!AnyButtonEnabled(app));
    return box;
}

// After an answer that ends the program: it ends without another box and without ever enabling
// a button.
void ExpectEndsAtOnce(const App& app) {
    bool enabled = false, boxed = false;
    const bool ended = e2e::WaitUntil(
        [&] {
            enabled = enabled || AnyButtonEnabled(app);
            boxed = boxed || app.BoxOpen();
            return !app.Running();
        },
        5000, 5);
    E2E_CHECK(ended);
    E2E_CHECK(!enabled);
    E2E_CHECK(!boxed);
}

}  // namespace

// What goes over the wire: one plain form post, a second after the start, with our content type
// as the only header of ours; an up-to-date answer then greets without a box.
E2E_TEST(update_check_posts_form_and_greets_when_current) {
    const Moment started;
    App app(Unready());
    app.WaitReady(15000);
    E2E_CHECK_EQ(app.StatusText(kMessagePanel),
                 std::wstring(L"当前软件为最新版本,欢迎使用Varnel软件.."));
    E2E_CHECK(AllButtonsEnabled(app));
    E2E_CHECK(!app.BoxOpen());

    const auto requests = ServiceRequests();
    E2E_CHECK_EQ(requests.size(), 1u);
    const Request& request = requests[0];
    E2E_CHECK_EQ(request.method, std::string("POST"));
    E2E_CHECK_EQ(request.path, std::string("/index.php/Index/soft_version"));
    E2E_CHECK_EQ(request.body, std::string("sn=kesto"));
    const auto contentTypes = request.HeaderNamesLike("Content-Type");
    E2E_CHECK_EQ(contentTypes.size(), 1u);
    E2E_CHECK_EQ(contentTypes[0], std::string("CONTENT-TYPE"));
    for (const auto& [name, value] : request.headers) {
        if (name == "CONTENT-TYPE")
            E2E_CHECK_EQ(value, std::string("application/x-www-form-urlencoded"));
    }
    E2E_CHECK(request.HeaderNamesLike("User-Agent").empty());
    // Timer1's first tick, not the window's creation, starts the check.
    E2E_CHECK(request.unixSeconds - started.unixSeconds >= 0.9);
}

E2E_TEST(update_check_failed_by_number_zero) {
    const Moment started;
    App app(Unready());
    ExpectCheckFailed(app, started);
    E2E_CHECK_EQ(ServiceRequests().size(), 1u);
}

// Timer1 keeps ticking while the check's box waits for the user; none of those ticks asks again.
E2E_TEST(update_check_failed_by_text_zero_runs_once) {
    const Moment started;
    App app(Unready());
    app.WaitForBox(15000);
    Sleep(3500);
    E2E_CHECK_EQ(ServiceRequests().size(), 1u);
    ExpectCheckFailed(app, started);
    Sleep(1500);
    E2E_CHECK_EQ(ServiceRequests().size(), 1u);
    E2E_CHECK(!app.BoxOpen());
}

E2E_TEST(update_offer_declined_optional_greets) {
    App app(Unready());
    const Box offer = ExpectUpdateOffer(app);
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), kChecking);
    offer.Press(IDNO);
    app.WaitReady(5000);
    E2E_CHECK(AllButtonsEnabled(app));
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), std::wstring(L"欢迎使用Varnel软件.."));
    E2E_CHECK(!app.BoxOpen());
    E2E_CHECK(app.Running());
}

// A mandatory update declined: the program ends silently and opens nothing.
E2E_TEST(update_offer_declined_mandatory_ends) {
    App app(Unready({{L"recorder.exe", L"explorer.exe"}}));
    const Box offer = ExpectUpdateOffer(app);
    offer.Press(IDNO);
    ExpectEndsAtOnce(app);
    Sleep(500);
    E2E_CHECK(RecorderLines(app.Directory()).empty());
}

// Yes opens the download page minimized through the shell and ends the program, even for an
// optional update. A hostile sid stays inside the one quoted address.
E2E_TEST(update_offer_accepted_opens_download_page) {
    App app(Unready({{L"recorder.exe", L"explorer.exe"}}));
    const Box offer = ExpectUpdateOffer(app);
    offer.Press(IDYES);
    ExpectEndsAtOnce(app);

    std::vector<std::vector<std::wstring>> started;
    e2e::WaitUntil([&] { return !(started = RecorderLines(app.Directory())).empty(); }, 10000);
    Sleep(300);
    started = RecorderLines(app.Directory());
    E2E_CHECK_EQ(started.size(), 1u);
    const auto& fields = started[0];
    E2E_CHECK(fields.size() >= 3);
    E2E_CHECK_EQ(fields[0], std::wstring(L"exe=explorer.exe"));
    E2E_CHECK_EQ(fields[1], std::wstring(L"show=2"));
    E2E_CHECK_EQ(fields[2],
                 std::wstring(L"args=\"https://www.varnel.example/index.php/Works/detail/sid/"
                              L"1%22%20%2Fselect%2CC%3A%5Cx\""));
}

// Every way the check can fail ends in the same box, soon enough, and leaves a usable tool.

E2E_TEST(update_check_fails_when_service_down) {
    const Moment started;
    App app(Unready());
    ExpectCheckFailed(app, started);
}

E2E_TEST(update_check_fails_on_server_error_page) {
    const Moment started;
    App app(Unready());
    ExpectCheckFailed(app, started);
    E2E_CHECK_EQ(ServiceRequests().size(), 1u);
}

E2E_TEST(update_check_fails_on_empty_answer) {
    const Moment started;
    App app(Unready());
    ExpectCheckFailed(app, started);
    E2E_CHECK_EQ(ServiceRequests().size(), 1u);
}

E2E_TEST(update_check_fails_on_answer_without_info) {
    const Moment started;
    App app(Unready());
    ExpectCheckFailed(app, started);
    E2E_CHECK_EQ(ServiceRequests().size(), 1u);
}

// The service takes the request and never answers: the time limit ends the wait.
E2E_TEST(update_check_fails_when_service_never_answers) {
    const Moment started;
    App app(Unready());
    ExpectCheckFailed(app, started);
    E2E_CHECK_EQ(ServiceRequests().size(), 1u);
}

// The service would greet, but its certificate is signed by a CA nobody trusts: the connection
// is refused before any request is sent.
E2E_TEST(update_check_fails_on_untrusted_certificate) {
    const Moment started;
    App app(Unready());
    ExpectCheckFailed(app, started);
    E2E_CHECK(ServiceRequests().empty());
}
