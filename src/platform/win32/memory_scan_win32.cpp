#include "platform/win32/memory_scan_win32.h"

#include <windows.h>
// windows.h first: psapi.h relies on its types.
#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/win32/nt_api_win32.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

// Longer paths are cut by the system; a drive's files are named well within this.
constexpr DWORD kNameChars = 1024;
// A bound on the walk, far beyond any real process's number of regions.
constexpr int kMostRegions = 1 << 20;

template <typename Value>
bool ReadValue(HANDLE process, const void* address, Value& value) {
    SIZE_T read = 0;
    return ReadProcessMemory(process, address, &value, sizeof(value), &read) &&
           read == sizeof(value);
}

const unsigned char* At(const void* base, size_t offset) {
    return static_cast<const unsigned char*>(base) + offset;
}

// The process's program base address and current directory, from its PEB: one read for the two
// fields of the PEB, one for the current directory's name and handle, one for the name's text.
void ReadProcessBlock(HANDLE process, ProcessView& view, const void*& imageBase) {
    nt::ProcessBasics basics{};
    ULONG length = 0;
    if (nt::Ntdll().queryInformationProcess(process, nt::kProcessBasicInformation, &basics,
                                            sizeof(basics), &length) < 0 ||
        basics.pebBaseAddress == nullptr) {
        return;
    }
    nt::PebHead peb{};
    if (!ReadValue(process, basics.pebBaseAddress, peb)) {
        return;
    }
    imageBase = peb.imageBase;
    nt::CurrentDirectory directory{};
    if (peb.processParameters == nullptr ||
        !ReadValue(process, At(peb.processParameters, nt::kParametersCurrentDirectory),
                   directory)) {
        return;
    }
    std::wstring path(std::min<USHORT>(directory.path.length, kNameChars * 2) / sizeof(wchar_t),
                      L'\0');
    SIZE_T read = 0;
    if (!path.empty() && ReadProcessMemory(process, directory.path.buffer, path.data(),
                                           path.size() * sizeof(wchar_t), &read)) {
        view.currentDirectory = FromWide(path.data(), read / sizeof(wchar_t));
        view.currentDirectoryHandle = reinterpret_cast<uintptr_t>(directory.handle);
    }
}

// The size of the image mapped at base, from its PE header; 0 when it cannot be read. One read
// of the header lets the walk step over all of an image's sections at once.
SIZE_T ImageSize(HANDLE process, const void* base) {
    unsigned char header[1024];
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, base, header, sizeof(header), &read) ||
        read != sizeof(header)) {
        return 0;
    }
    LONG peOffset = 0;
    DWORD size = 0;
    std::memcpy(&peOffset, header + offsetof(IMAGE_DOS_HEADER, e_lfanew), sizeof(peOffset));
    // SizeOfImage sits at the same place in 32- and 64-bit optional headers.
    const size_t sizeAt = static_cast<size_t>(peOffset) +
                          offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                          offsetof(IMAGE_OPTIONAL_HEADER64, SizeOfImage);
    if (peOffset <= 0 || sizeAt + sizeof(size) > sizeof(header)) {
        return 0;
    }
    std::memcpy(&size, header + sizeAt, sizeof(size));
    return size;
}

}  // namespace

void ScanMemory(uint32_t pid, ProcessView& view) {
    const ScopedHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process.Valid()) {
        return;
    }
    view.memoryRead = true;
    const void* imageBase = nullptr;
    ReadProcessBlock(process.Get(), view, imageBase);

    std::set<const void*> seen;  // one name per allocation, not per region of it
    wchar_t name[kNameChars];
    MEMORY_BASIC_INFORMATION region{};
    const unsigned char* address = nullptr;
    for (int i = 0; i < kMostRegions && VirtualQueryEx(process.Get(), address, &region,
                                                       sizeof(region)) == sizeof(region);
         ++i) {
        const bool mapped = region.Type == MEM_IMAGE || region.Type == MEM_MAPPED;
        if (mapped && region.State == MEM_COMMIT && seen.insert(region.AllocationBase).second) {
            const DWORD length =
                K32GetMappedFileNameW(process.Get(), region.AllocationBase, name, kNameChars);
            if (length > 0) {
                const MappingKind kind = region.Type == MEM_MAPPED            ? MappingKind::Data
                                         : region.AllocationBase == imageBase ? MappingKind::Program
                                                                              : MappingKind::Dll;
                view.mappings.push_back({kind, FromWide(name, length)});
            }
        }
        SIZE_T step = region.RegionSize;
        if (region.Type == MEM_IMAGE && region.BaseAddress == region.AllocationBase) {
            step = std::max(step, ImageSize(process.Get(), region.BaseAddress));
        }
        const unsigned char* next = static_cast<const unsigned char*>(region.BaseAddress) + step;
        if (next <= address) {
            break;
        }
        address = next;
    }
}

}  // namespace varnel::win32
