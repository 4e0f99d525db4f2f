// What the programs that work under Wine from inside share (the window, services and end-to-end
// tests, the CPU benchmark): the build folder, waiting for a state, files, a system file replaced
// by a test program for a while, and a system function made to fail as it may on Windows.
#pragma once

#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

namespace wine_support {

namespace fs = std::filesystem;

// build/<preset>: the folder above the running program's own (tests/, bench/).
inline fs::path BuildFolder() {
    return fs::path(_pgmptr).parent_path().parent_path();
}

// Polls until the condition holds or the time is up; returns whether it held.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 20) {
    for (const ULONGLONG end = GetTickCount64() + timeoutMs; !condition(); Sleep(stepMs))
        if (GetTickCount64() >= end)
            return false;
    return true;
}

inline std::string ReadBytes(const fs::path& path) {  // empty when missing
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Copies a program of build/<preset>/tools to path, its folders made as needed.
// (std::filesystem::copy_file of MinGW's libstdc++ refuses to overwrite under Wine.)
inline bool CopyTool(const wchar_t* tool, const fs::path& path) {
    fs::create_directories(path.parent_path());
    return CopyFileW((BuildFolder() / L"tools" / tool).c_str(), path.c_str(), FALSE) != FALSE;
}

// A file moved aside to "<path>.e2e" for the life of the object, with a copy of a test program in
// its place when one is named. Every program here uses the same suffix, so each puts back what an
// interrupted run of another left aside.
class SwappedFile {
public:
    SwappedFile(fs::path path, const wchar_t* standIn) : path_(std::move(path)) {
        Restore(path_);
        if (!MoveFileW(path_.c_str(), Aside(path_).c_str()) ||
            (standIn != nullptr && !CopyTool(standIn, path_))) {
            throw std::runtime_error("cannot put a stand-in in place of " + path_.string());
        }
    }
    ~SwappedFile() { Restore(path_); }
    SwappedFile(const SwappedFile&) = delete;  // one restore per move aside

    // Puts back the file if it is aside; a stand-in may still be on its way out.
    static void Restore(const fs::path& path) {
        if (fs::exists(Aside(path))) {
            WaitUntil(
                [&] {
                    return MoveFileExW(Aside(path).c_str(), path.c_str(),
                                       MOVEFILE_REPLACE_EXISTING) != FALSE;
                },
                5000);
        }
    }

private:
    static fs::path Aside(const fs::path& path) { return path.native() + L".e2e"; }
    const fs::path path_;
};

// This program's import of a system function pointed at a stand-in for the life of the object.
// The code under test calls the system through the program's import table, so every caller, on
// every thread, meets the stand-in: a failure Wine never gives can be tested like any other.
class SwappedImport {
public:
    template <typename Function>
    SwappedImport(const char* function, Function* standIn) : slot_(Slot(function)) {
        DWORD protection = 0;  // the table may be read-only; it stays writable from now on
        if (slot_ == nullptr || !VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &protection))
            throw std::runtime_error(std::string("cannot swap the import of ") + function);
        original_ = InterlockedExchangePointer(slot_, reinterpret_cast<void*>(standIn));
    }
    ~SwappedImport() { InterlockedExchangePointer(slot_, original_); }
    SwappedImport(const SwappedImport&) = delete;

private:
    static void** Slot(const char* function) {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
        const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
            base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
        for (; dll->Name != 0; ++dll) {
            auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
            auto* slot = reinterpret_cast<void**>(base + dll->FirstThunk);
            for (; name->u1.AddressOfData != 0; ++name, ++slot) {
                const auto* byName =
                    reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
                if (!IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) &&
                    !std::strcmp(byName->Name, function))
                    return slot;
            }
        }
        return nullptr;
    }
    void** const slot_;
    void* original_ = nullptr;
};

// A stand-in for any system function that fails: 0 (FALSE, NULL) with ERROR_NOT_ENOUGH_MEMORY.
// On x64 the caller clears the arguments, so it serves every signature.
static_assert(sizeof(void*) == 8, "Refused takes no arguments, which only x64 allows");
inline INT_PTR WINAPI Refused() {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
}

}  // namespace wine_support
