#include "platform/win32/console_input_win32.h"

#include <windows.h>

#include <cwctype>

#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

// More than any answer needs; a longer line is read no further and answers no.
constexpr DWORD kLineChars = 64;

std::wstring Trimmed(const wchar_t* text, size_t length) {
    std::wstring line(text, length);
    const size_t end = line.find_last_not_of(L" \t\r\n");
    const size_t begin = line.find_first_not_of(L" \t\r\n");
    if (end == std::wstring::npos) {
        return {};
    }
    line = line.substr(begin, end - begin + 1);
    for (wchar_t& c : line) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return line;
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
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    const std::u16string shown = question + u" ";
    if (GetConsoleMode(error, &mode)) {
        WriteConsoleW(error, Wide(shown), static_cast<DWORD>(shown.size()), &written, nullptr);
    } else {
        const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
        WriteConsoleW(output, Wide(shown), static_cast<DWORD>(shown.size()), &written, nullptr);
    }
    wchar_t line[kLineChars] = {};
    DWORD read = 0;
    if (!ReadConsoleW(input, line, kLineChars, &read, nullptr) || read == 0) {
        return false;  // the end of the input (Ctrl+Z) or no console after all
    }
    const std::wstring answer = Trimmed(line, read);
    return answer == L"y" || answer == L"yes";
}

}  // namespace varnel::win32
