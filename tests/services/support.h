// Helpers of the Win32 services tests: waiting for a state, files, the stand-in service's port and
// records, the machine's TCP connections, and files of the Wine prefix swapped for a test.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace services {

namespace fs = std::filesystem;

// Polls until the condition holds or the time is up; returns whether it held.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (; !condition(); Sleep(10)) {
        if (GetTickCount64() >= end) {
            return false;
        }
    }
    return true;
}

inline std::string ReadBytes(const fs::path& path) {  // empty when missing
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

inline std::string Utf8(const std::u16string& text) {
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(text.data()),
                                     static_cast<int>(text.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

// The build folder (build/<preset>): the one above the test program's own.
inline fs::path BuildFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path().parent_path();
}

// Copies a program of build/<preset>/tools to path. (std::filesystem::copy_file of MinGW's
// libstdc++ refuses to overwrite under Wine: "File exists".)
inline void CopyTool(const wchar_t* tool, const fs::path& path) {
    fs::create_directories(path.parent_path());
    if (!CopyFileW((BuildFolder() / "tools" / tool).c_str(), path.c_str(), FALSE)) {
        throw std::runtime_error("cannot copy a test program to " + path.string());
    }
}

inline HWND MessageWindow(WNDPROC procedure, const wchar_t* className) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                           nullptr);
}

// The folder session.sh gave the service (a Linux path; Wine shows the root as drive Z:), the
// service's port there, and the requests it has recorded so far, in order.
inline fs::path ServiceFile(const std::string& name) {
    const char* folder = std::getenv("VARNEL_TEST_SERVICE");
    return fs::path("Z:" + std::string(folder ? folder : "") + "/" + name).make_preferred();
}

inline unsigned ServicePort() {
    return static_cast<unsigned>(std::atoi(ReadBytes(ServiceFile("port")).c_str()));
}

inline std::u16string ServiceUrl(const std::u16string& path = u"/index.php/Index/soft_version") {
    return u"https://localhost:" + fs::path(std::to_string(ServicePort())).u16string() + path;
}

inline std::vector<nlohmann::json> ServiceRequests() {
    const char* scenario = std::getenv("VARNEL_TEST_SCENARIO");
    std::istringstream lines(
        ReadBytes(ServiceFile(std::string(scenario ? scenario : "") + ".requests.jsonl")));
    std::vector<nlohmann::json> requests;
    for (std::string line; std::getline(lines, line);) {
        requests.push_back(nlohmann::json::parse(line));
    }
    return requests;
}

// Established TCP connections (either end) to a port of this machine, from Linux's /proc.
inline int ConnectionsTo(unsigned port) {
    int count = 0;
    for (const char* table : {"Z:\\proc\\net\\tcp", "Z:\\proc\\net\\tcp6"}) {
        std::istringstream lines(ReadBytes(table));
        std::string line, slot, local, remote, state;
        std::getline(lines, line);  // the heading
        while (std::getline(lines, line)) {
            // "0: 0100007F:B8A3 0100007F:D2F3 01 ...": local, remote, state (01 established).
            std::istringstream(line) >> slot >> local >> remote >> state;
            const auto portOf = [](const std::string& address) {
                return std::strtoul(address.substr(address.find(':') + 1).c_str(), nullptr, 16);
            };
            count += state == "01" && (portOf(local) == port || portOf(remote) == port);
        }
    }
    return count;
}

// A file moved aside to "<path>.e2e" for the life of the object, with a copy of a test program in
// its place when one is named. The e2e harness uses the same suffix, so each tier puts back what an
// interrupted run of the other left aside.
class SwappedFile {
public:
    SwappedFile(fs::path path, const wchar_t* standIn) : path_(std::move(path)) {
        Restore(path_);
        fs::rename(path_, Aside(path_));
        if (standIn != nullptr) {
            CopyTool(standIn, path_);
        }
    }
    ~SwappedFile() { Restore(path_); }
    SwappedFile(const SwappedFile&) = delete;
    SwappedFile& operator=(const SwappedFile&) = delete;

    static fs::path Aside(const fs::path& path) { return path.wstring() + L".e2e"; }
    // Puts back a file that a test left aside, if one did.
    static void Restore(const fs::path& path) {
        if (fs::exists(Aside(path))) {
            // A stand-in may still be on its way out.
            WaitUntil([&] { return DeleteFileW(path.c_str()) || !fs::exists(path); }, 5000);
            MoveFileW(Aside(path).c_str(), path.c_str());
        }
    }

private:
    fs::path path_;
};

}  // namespace services
