#include "platform/win32/storage_device_win32.h"

#include <windows.h>
// windows.h first: winioctl.h relies on its types.
#include <winioctl.h>

#include <cwctype>
#include <vector>

#include "platform/win32/scoped_handle.h"

namespace varnel::win32 {

std::wstring VolumePath(char16_t letter) {
    return std::wstring(L"\\\\.\\") + static_cast<wchar_t>(letter) + L":";
}

std::optional<StorageDevice> DescribeStorage(char16_t letter) {
    const ScopedHandle volume(CreateFileW(VolumePath(letter).c_str(), 0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!volume.Valid()) {
        return std::nullopt;
    }
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<unsigned char> answer(1024);
    DWORD returned = 0;
    if (!DeviceIoControl(volume.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                         answer.data(), static_cast<DWORD>(answer.size()), &returned, nullptr) ||
        returned < sizeof(STORAGE_DEVICE_DESCRIPTOR)) {
        return std::nullopt;
    }
    const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(answer.data());
    StorageDevice device;
    device.bus = descriptor->BusType;
    device.removableMedia = descriptor->RemovableMedia != FALSE;
    const DWORD at = descriptor->ProductIdOffset;
    if (at != 0 && at < returned) {
        const auto* text = reinterpret_cast<const char*>(answer.data() + at);
        for (size_t i = 0; at + i < returned && text[i] != '\0'; ++i) {
            device.product.push_back(
                static_cast<wchar_t>(std::towlower(static_cast<unsigned char>(text[i]))));
        }
    }
    return device;
}

bool IsExternalBus(unsigned bus) {
    return bus == BusTypeUsb || bus == BusType1394 || bus == BusTypeSd;
}

}  // namespace varnel::win32
