#include "platform/win32/skin_win32.h"

#include <windows.h>

#include <optional>
#include <string>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

namespace {

// The file's bytes, or nothing when it cannot be read or exceeds the skin size limit.
std::optional<std::string> ReadSmallFile(const std::u16string& path) {
    const ScopedHandle file(CreateFileW(Wide(path), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return std::nullopt;
    }
    std::optional<std::string> bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 &&
        size.QuadPart <= static_cast<LONGLONG>(kMaxSkinFileBytes)) {
        std::string buffer(static_cast<size_t>(size.QuadPart), '\0');
        DWORD read = 0;
        if (ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                     nullptr)) {
            buffer.resize(read);
            bytes = std::move(buffer);
        }
    }
    return bytes;
}

}  // namespace

int Skin::Attach(const std::u16string& path) {
    colors_.reset();
    windowBrush_.reset();
    listBrush_.reset();
    if (const std::optional<std::string> bytes = ReadSmallFile(path)) {
        colors_ = ParseSkinFile(*bytes);
    }
    if (!colors_) {
        return 0;
    }
    if (colors_->window) {
        windowBrush_.reset(CreateSolidBrush(ToColorRef(*colors_->window)));
    }
    if (colors_->list) {
        listBrush_.reset(CreateSolidBrush(ToColorRef(*colors_->list)));
    }
    return 1;
}

}  // namespace varnel::win32
