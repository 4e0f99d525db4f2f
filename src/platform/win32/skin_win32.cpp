#include "platform/win32/skin_win32.h"

#include <windows.h>

#include <optional>
#include <string>

#include "platform/win32/text.h"

namespace varnel::win32 {

namespace {

std::optional<SkinColors> g_skin;

// The file's bytes, or nothing when it cannot be read or exceeds the skin size limit.
std::optional<std::string> ReadSmallFile(const std::u16string& path) {
    HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::optional<std::string> bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
        size.QuadPart <= static_cast<LONGLONG>(kMaxSkinFileBytes)) {
        std::string buffer(static_cast<size_t>(size.QuadPart), '\0');
        DWORD read = 0;
        if (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            buffer.resize(read);
            bytes = std::move(buffer);
        }
    }
    CloseHandle(file);
    return bytes;
}

}  // namespace

int AttachSkin(const std::u16string& path, const std::u16string& /*options*/) {
    g_skin.reset();
    if (const std::optional<std::string> bytes = ReadSmallFile(path)) {
        g_skin = ParseSkinFile(*bytes);
    }
    return g_skin ? 1 : 0;
}

const SkinColors* ActiveSkin() {
    return g_skin ? &*g_skin : nullptr;
}

}  // namespace varnel::win32
