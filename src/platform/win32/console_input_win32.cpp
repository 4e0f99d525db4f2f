#include "platform/win32/console_input_win32.h"

#include <windows.h>

#include <cwctype>
#include <string>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

// More than any answer needs; the rest of a longer line is not read, and the line answers no.
constexpr DWORD kLineChars = 64;

std::wstring Trimmed(const wchar_t* text, size_t length) {
    const std::wstring line(text, length);
    const size_t begin = line.find_first_not_of(L" \t\r\n");
    if (begin == std::wstring::npos) {
        return {};
    }
    std::wstring word = line.substr(begin, line.find_last_not_of(L" \t\r\n") - begin + 1);
    for (wchar_t& c : word) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return word;
}

}  // namespace

bool ConsoleInputWin32::AskYesNo(const std::u16string& question) {
    // Only a person at a console answers: input from a file or a pipe is no consent to lose
    // data (a script says --yes instead).
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) {
        return false;
    }
    // The question goes to the console itself, so that it is seen even when the output streams
    // go to files.
    const ScopedHandle console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    if (!console.Valid()) {
        return false;
    }
    const std::u16string shown = question + u" ";
    DWORD written = 0;
    WriteConsoleW(console.Get(), Wide(shown), static_cast<DWORD>(shown.size()), &written, nullptr);
    wchar_t line[kLineChars] = {};
    DWORD read = 0;
    if (!ReadConsoleW(input, line, kLineChars, &read, nullptr) || read == 0) {
        return false;  // the end of the input (Ctrl+Z)
    }
    const std::wstring answer = Trimmed(line, read);
    return answer == L"y" || answer == L"yes";
}

}  // namespace varnel::win32
