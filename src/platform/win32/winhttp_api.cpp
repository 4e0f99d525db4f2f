#include "platform/win32/winhttp_api.h"

#include <mutex>

#include "platform/platform_error.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

template <typename Function>
void Bind(HMODULE module, Function& function, const char* name) {
    // The cast from FARPROC is how every entry point found by name is typed.
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (function == nullptr) {
        ThrowLastError(u"GetProcAddress winhttp.dll");
    }
}

WinHttpApi Load() {
    const HMODULE module = LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
        ThrowLastError(u"LoadLibraryExW winhttp.dll");
    }
    WinHttpApi api{};
    Bind(module, api.Open, "WinHttpOpen");
    Bind(module, api.Connect, "WinHttpConnect");
    Bind(module, api.OpenRequest, "WinHttpOpenRequest");
    Bind(module, api.SetTimeouts, "WinHttpSetTimeouts");
    Bind(module, api.SetOption, "WinHttpSetOption");
    Bind(module, api.SendRequest, "WinHttpSendRequest");
    Bind(module, api.ReceiveResponse, "WinHttpReceiveResponse");
    Bind(module, api.QueryHeaders, "WinHttpQueryHeaders");
    Bind(module, api.QueryDataAvailable, "WinHttpQueryDataAvailable");
    Bind(module, api.ReadData, "WinHttpReadData");
    Bind(module, api.CloseHandle, "WinHttpCloseHandle");
    Bind(module, api.CrackUrl, "WinHttpCrackUrl");
    return api;  // the module stays loaded for the life of the process
}

}  // namespace

const WinHttpApi& WinHttp() {
    static std::mutex mutex;
    static WinHttpApi api{};
    static bool loaded = false;
    const std::lock_guard lock(mutex);
    if (!loaded) {
        api = Load();
        loaded = true;
    }
    return api;
}

}  // namespace varnel::win32
