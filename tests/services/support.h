// Small helpers of the Win32 services tests: waiting for a state, the stand-in service's port and
// records, the machine's TCP connections, test programs copied from the build, and files of the
// Wine prefix swapped for the length of a test.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace services {

// Polls until the condition holds or the time is up; returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

std::string ReadBytes(const std::filesystem::path& path);  // empty when missing
std::string Utf8(const std::u16string& text);              // for test messages and records

// The build folder (build/<preset>): the one above the test program's own.
std::filesystem::path BuildFolder();

// The stand-in service that session.sh started for this test program: its port, its address for
// a path, and every request it has recorded so far, in order.
unsigned ServicePort();
std::u16string ServiceUrl(const std::u16string& path = u"/index.php/Index/soft_version");
std::vector<nlohmann::json> ServiceRequests();

// Established TCP connections (either end) to a port of this machine, from Linux's /proc.
int ConnectionsTo(unsigned port);

// Copies a test program of build/<preset>/tools to `path`, making its folder.
void CopyTool(const std::wstring& tool, const std::filesystem::path& path);

// A program started from its full path, ended when the object goes unless it ended before.
class Started {
public:
    explicit Started(const std::filesystem::path& path);
    ~Started();
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;
    bool Running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    bool WaitForExit(DWORD ms) const { return WaitForSingleObject(process_, ms) == WAIT_OBJECT_0; }

private:
    HANDLE process_ = nullptr;
};

// A file moved aside to "<path>.e2e" for the life of the object, with a copy of a test program in
// its place when one is named. The suffix is the e2e harness's, so each tier puts back what an
// interrupted run of the other left aside.
class SwappedFile {
public:
    SwappedFile(std::filesystem::path path, const std::wstring& standIn);
    ~SwappedFile() { Restore(path_); }
    SwappedFile(const SwappedFile&) = delete;
    SwappedFile& operator=(const SwappedFile&) = delete;
    static void Restore(const std::filesystem::path& path);

private:
    std::filesystem::path path_;
};

}  // namespace services
