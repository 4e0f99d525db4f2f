#include "platform/win32/nt_api_win32.h"

#include "platform/platform_error.h"

namespace varnel::win32::nt {
namespace {

template <typename Function>
Function Find(HMODULE ntdll, const char* name) {
    // GetProcAddress answers a generic pointer; the cast names the real signature.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)));
}

}  // namespace

const Functions& Ntdll() {
    static const Functions functions = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        Functions found;
        if (ntdll != nullptr) {
            found.querySystemInformation =
                Find<QuerySystemInformation>(ntdll, "NtQuerySystemInformation");
            found.queryObject = Find<QueryObject>(ntdll, "NtQueryObject");
            found.queryInformationProcess =
                Find<QueryInformationProcess>(ntdll, "NtQueryInformationProcess");
        }
        return found;
    }();
    if (functions.querySystemInformation == nullptr || functions.queryObject == nullptr ||
        functions.queryInformationProcess == nullptr) {
        throw PlatformError(u"GetProcAddress(ntdll)", u"NtQuerySystemInformation, NtQueryObject");
    }
    return functions;
}

}  // namespace varnel::win32::nt
