#include "platform/win32/dynamic_calls_win32.h"

#include <string>

#include "platform/platform_error.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

// Fills a table's entries from one module; any entry it cannot fill is a failure that names the
// DLL and the function.
class Finder {
public:
    Finder(HMODULE module, const char16_t* dll) : module_(module), dll_(dll) {
        if (module_ == nullptr) {
            ThrowLastError(u"LoadLibraryExW(" + dll_ + u")");
        }
    }
    template <typename Function>
    void operator()(Function& entry, const char* name) const {
        // GetProcAddress answers a generic pointer; the cast names the real signature.
        entry = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
        if (entry == nullptr) {
            throw PlatformError(u"GetProcAddress(" + dll_ + u")",
                                std::u16string(name, name + std::char_traits<char>::length(name)));
        }
    }

private:
    HMODULE module_;
    std::u16string dll_;
};

HMODULE FromSystem32(const wchar_t* dll) {
    return LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void Load(nt::Functions& api) {
    const Finder find(GetModuleHandleW(L"ntdll.dll"), u"ntdll.dll");
    find(api.querySystemInformation, "NtQuerySystemInformation");
    find(api.queryObject, "NtQueryObject");
    find(api.queryInformationProcess, "NtQueryInformationProcess");
    find(api.queryInformationFile, "NtQueryInformationFile");
}

void Load(CfgMgrApi& api) {
    const Finder find(FromSystem32(L"cfgmgr32.dll"), u"cfgmgr32.dll");
    find(api.getParent, "CM_Get_Parent");
    find(api.getDeviceId, "CM_Get_Device_IDW");
    find(api.locate, "CM_Locate_DevNodeW");
    find(api.requestEject, "CM_Request_Device_EjectW");
}

void Load(SetupApi& api) {
    const Finder find(FromSystem32(L"setupapi.dll"), u"setupapi.dll");
    find(api.getClassDevs, "SetupDiGetClassDevsW");
    find(api.enumInterfaces, "SetupDiEnumDeviceInterfaces");
    find(api.getInterfaceDetail, "SetupDiGetDeviceInterfaceDetailW");
    find(api.destroyList, "SetupDiDestroyDeviceInfoList");
}

void Load(ShellApi& api) {
    const Finder find(FromSystem32(L"shell32.dll"), u"shell32.dll");
    find(api.commandLineToArgv, "CommandLineToArgvW");
    find(api.executeEx, "ShellExecuteExW");
    find(api.pathFromIdList, "SHGetPathFromIDListW");
}

void Load(Ole32Api& api) {
    const Finder find(FromSystem32(L"ole32.dll"), u"ole32.dll");
    find(api.initialize, "CoInitializeEx");
    find(api.uninitialize, "CoUninitialize");
    find(api.createInstance, "CoCreateInstance");
    find(api.taskMemFree, "CoTaskMemFree");
}

void Load(WinHttpApi& api) {
    const Finder find(FromSystem32(L"winhttp.dll"), u"winhttp.dll");
    find(api.Open, "WinHttpOpen");
    find(api.Connect, "WinHttpConnect");
    find(api.OpenRequest, "WinHttpOpenRequest");
    find(api.SetTimeouts, "WinHttpSetTimeouts");
    find(api.SetOption, "WinHttpSetOption");
    find(api.SendRequest, "WinHttpSendRequest");
    find(api.ReceiveResponse, "WinHttpReceiveResponse");
    find(api.QueryHeaders, "WinHttpQueryHeaders");
    find(api.QueryDataAvailable, "WinHttpQueryDataAvailable");
    find(api.ReadData, "WinHttpReadData");
    find(api.CloseHandle, "WinHttpCloseHandle");
    find(api.CrackUrl, "WinHttpCrackUrl");
}

void Load(WevtApi& api) {
    const Finder find(FromSystem32(L"wevtapi.dll"), u"wevtapi.dll");
    find(api.query, "EvtQuery");
    find(api.next, "EvtNext");
    find(api.createRenderContext, "EvtCreateRenderContext");
    find(api.render, "EvtRender");
    find(api.close, "EvtClose");
}

template <typename Api>
const Api& Table() {
    if (const Api* replaced = dynamic_calls::replaced<Api>.load()) {
        return *replaced;
    }
    // A failed load leaves the table to be loaded again at the next call.
    static const Api loaded = [] {
        Api api;
        Load(api);
        return api;
    }();
    return loaded;
}

}  // namespace

const CfgMgrApi& CfgMgr() {
    return Table<CfgMgrApi>();
}

const SetupApi& SetupDi() {
    return Table<SetupApi>();
}

const ShellApi& Shell32() {
    return Table<ShellApi>();
}

const Ole32Api& Ole32() {
    return Table<Ole32Api>();
}

const WinHttpApi& WinHttp() {
    return Table<WinHttpApi>();
}

const WevtApi& Wevt() {
    return Table<WevtApi>();
}

const nt::Functions& nt::Ntdll() {
    return Table<nt::Functions>();
}

}  // namespace varnel::win32
