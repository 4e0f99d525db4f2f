#include "platform/win32/console_output_win32.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/text.h"
#include "text/utf8.h"

namespace varnel::win32 {
namespace {

void Write(DWORD stream, const std::u16string& text) {
    const HANDLE handle = GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return;  // no stream to write to (a detached start): nothing to do
    }
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        // A console shows UTF-16 whatever its code page; written in pieces the API accepts.
        for (size_t done = 0; done < text.size();) {
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(text.size() - done, 8192));
            DWORD written = 0;
            if (!WriteConsoleW(handle, Wide(text) + done, piece, &written, nullptr) ||
                written == 0) {
                return;
            }
            done += written;
        }
        return;
    }
    // A file or pipe gets UTF-8 bytes, with \r\n line ends as Windows tools write them.
    std::u16string lines;
    for (char16_t c : text) {
        if (c == u'\n') {
            lines += u'\r';
        }
        lines += c;
    }
    const std::string bytes = ToUtf8(lines);
    for (size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

}  // namespace

void ConsoleOutputWin32::Out(const std::u16string& text) {
    Write(STD_OUTPUT_HANDLE, text);
}

void ConsoleOutputWin32::Err(const std::u16string& text) {
    Write(STD_ERROR_HANDLE, text);
}

}  // namespace varnel::win32
