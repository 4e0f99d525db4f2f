// Test tool: one PostForm over the WinHTTP transport, with the outcome and its duration written
// to a file (UTF-8) for a test script to read.
//   post_probe.exe <address> <result file> [form, default "sn=kesto"]
// The result file holds "outcome=ok" or "outcome=error", then "elapsed_ms=N", then either
// "body_bytes=N" and "body=" followed by the body to the end of the file, or
// "operation=..." and "detail=..." lines.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/platform_error.h"
#include "platform/win32/ansi_code_page_win32.h"
#include "platform/win32/text.h"
#include "platform/win32/winhttp_transport.h"
#include "update/post_form.h"
#include "update/utf8.h"

using varnel::FormPoster;
using varnel::PlatformError;
using varnel::ToUtf8;

namespace {

std::u16string FromArg(const wchar_t* arg) {
    return varnel::win32::FromWide(arg, wcslen(arg));
}

bool WriteFile(const wchar_t* path, const std::string& text) {
    FILE* file = _wfopen(path, L"wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fwprintf(stderr, L"usage: post_probe <address> <result file> [form]\n");
        return 2;
    }
    const std::u16string address = FromArg(argv[1]);
    const std::u16string form = argc > 3 ? FromArg(argv[3]) : u"sn=kesto";

    varnel::win32::WinHttpTransport transport;
    varnel::win32::Win32AnsiCodePage codePage;
    const FormPoster poster(transport, codePage);

    std::string report;
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
    };
    try {
        const std::string body = ToUtf8(poster.PostForm(address, form));
        report = "outcome=ok\nelapsed_ms=" + elapsed() +
                 "\nbody_bytes=" + std::to_string(body.size()) + "\nbody=" + body;
    } catch (const PlatformError& error) {
        report = "outcome=error\nelapsed_ms=" + elapsed() +
                 "\noperation=" + ToUtf8(error.Operation()) + "\ndetail=" + ToUtf8(error.Detail()) +
                 "\n";
    }
    return WriteFile(argv[2], report) ? 0 : 3;
}
