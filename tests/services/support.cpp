#include "support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace services {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string Utf8(const std::u16string& text) {
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(text.data()),
                                     static_cast<int>(text.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

fs::path BuildFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path().parent_path();
}

namespace {

// session.sh names the service's folder as a Linux path; Wine shows the root as drive Z:.
fs::path ServiceFolder() {
    const char* folder = std::getenv("VARNEL_TEST_SERVICE");
    return fs::path(std::string("Z:") + (folder == nullptr ? "" : folder)).make_preferred();
}

}  // namespace

unsigned ServicePort() {
    return static_cast<unsigned>(std::atoi(ReadBytes(ServiceFolder() / "port").c_str()));
}

std::u16string ServiceUrl(const std::u16string& path) {
    const std::string port = std::to_string(ServicePort());
    return u"https://localhost:" + std::u16string(port.begin(), port.end()) + path;
}

std::vector<nlohmann::json> ServiceRequests() {
    const char* scenario = std::getenv("VARNEL_TEST_SCENARIO");
    std::istringstream lines(
        ReadBytes(ServiceFolder() / (std::string(scenario ? scenario : "") + ".requests.jsonl")));
    std::vector<nlohmann::json> requests;
    for (std::string line; std::getline(lines, line);) {
        requests.push_back(nlohmann::json::parse(line));
    }
    return requests;
}

int ConnectionsTo(unsigned port) {
    int count = 0;
    for (const char* table : {"Z:\\proc\\net\\tcp", "Z:\\proc\\net\\tcp6"}) {
        std::istringstream lines(ReadBytes(table));
        std::string line;
        std::getline(lines, line);  // the heading
        while (std::getline(lines, line)) {
            // "0: 0100007F:B8A3 0100007F:D2F3 01 ...": local, remote, state (01 established).
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            const auto portOf = [](const std::string& address) {
                return std::strtoul(address.substr(address.find(':') + 1).c_str(), nullptr, 16);
            };
            count += state == "01" && (portOf(local) == port || portOf(remote) == port);
        }
    }
    return count;
}

void CopyTool(const std::wstring& tool, const fs::path& path) {
    fs::create_directories(path.parent_path());
    fs::copy_file(BuildFolder() / "tools" / tool, path, fs::copy_options::overwrite_existing);
}

Started::Started(const fs::path& path) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::wstring commandLine = L"\"" + path.wstring() + L"\"";
    if (CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &started)) {
        CloseHandle(started.hThread);
        process_ = started.hProcess;
    }
}

Started::~Started() {
    if (process_ != nullptr) {
        TerminateProcess(process_, 1);
        CloseHandle(process_);
    }
}

SwappedFile::SwappedFile(fs::path path, const std::wstring& standIn) : path_(std::move(path)) {
    Restore(path_);
    fs::rename(path_, path_.wstring() + L".e2e");
    if (!standIn.empty()) {
        CopyTool(standIn, path_);
    }
}

void SwappedFile::Restore(const fs::path& path) {
    const fs::path aside = path.wstring() + L".e2e";
    if (!fs::exists(aside)) {
        return;
    }
    // A stand-in may still be on its way out: try for a moment.
    WaitUntil([&] { return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; },
              5000);
    MoveFileW(aside.c_str(), path.c_str());
}

}  // namespace services
