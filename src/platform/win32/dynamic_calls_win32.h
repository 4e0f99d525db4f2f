// Every system function the program finds at run time, in one place: one table per DLL, loaded at
// its first use from System32 only, never from the program's folder or the current one (ntdll,
// which every process has, from the copy already loaded).
//
// Users take the table from its accessor at the moment they call. A test puts a table of its own
// in place for a while with ReplacedDll, so a device tree or a hanging name query can be played
// without touching the import table:
//     CfgMgrApi fake = CfgMgr();  // the real functions, then the few to replace
//     fake.getParent = ...;
//     const ReplacedDll<CfgMgrApi> replaced(fake);
//
// A DLL joins with a struct of its functions here, an accessor, and a Load overload in the .cpp
// that names each function.
#pragma once

#include <windows.h>
// windows.h first: cfgmgr32.h relies on its types.
#include <cfgmgr32.h>
#include <setupapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winevt.h>
#include <winhttp.h>

#include <atomic>

#include "platform/win32/nt_api_win32.h"

namespace varnel::win32 {

// cfgmgr32.dll: the device tree and the request to eject a device.
struct CfgMgrApi {
    decltype(&::CM_Get_Parent) getParent = nullptr;
    decltype(&::CM_Get_Device_IDW) getDeviceId = nullptr;
    decltype(&::CM_Locate_DevNodeW) locate = nullptr;
    decltype(&::CM_Request_Device_EjectW) requestEject = nullptr;
};

// setupapi.dll: the disk, CD-ROM and floppy interfaces, to find a drive's device.
struct SetupApi {
    decltype(&::SetupDiGetClassDevsW) getClassDevs = nullptr;
    decltype(&::SetupDiEnumDeviceInterfaces) enumInterfaces = nullptr;
    decltype(&::SetupDiGetDeviceInterfaceDetailW) getInterfaceDetail = nullptr;
    decltype(&::SetupDiDestroyDeviceInfoList) destroyList = nullptr;
};

// shell32.dll: the command line's arguments, the elevated start of the program and a folder
// window's path. Loaded when first needed, so that starting the program does not pay for it.
struct ShellApi {
    decltype(&::CommandLineToArgvW) commandLineToArgv = nullptr;
    decltype(&::ShellExecuteExW) executeEx = nullptr;
    decltype(&::SHGetPathFromIDListW) pathFromIdList = nullptr;
};

// ole32.dll: the shell's list of its windows, asked from an apartment of its own. Loaded when
// first needed: neither program's start pays for COM.
struct Ole32Api {
    decltype(&::CoInitializeEx) initialize = nullptr;
    decltype(&::CoUninitialize) uninitialize = nullptr;
    decltype(&::CoCreateInstance) createInstance = nullptr;
    decltype(&::CoTaskMemFree) taskMemFree = nullptr;
};

// winhttp.dll: the version check's HTTPS exchange. The program does not import it: a DLL of that
// name beside the program would be loaded before any code of ours ran, and loading it (with what
// it pulls in) would also slow the way to the first window.
struct WinHttpApi {
    decltype(&::WinHttpOpen) Open = nullptr;
    decltype(&::WinHttpConnect) Connect = nullptr;
    decltype(&::WinHttpOpenRequest) OpenRequest = nullptr;
    decltype(&::WinHttpSetTimeouts) SetTimeouts = nullptr;
    decltype(&::WinHttpSetOption) SetOption = nullptr;
    decltype(&::WinHttpSendRequest) SendRequest = nullptr;
    decltype(&::WinHttpReceiveResponse) ReceiveResponse = nullptr;
    decltype(&::WinHttpQueryHeaders) QueryHeaders = nullptr;
    decltype(&::WinHttpQueryDataAvailable) QueryDataAvailable = nullptr;
    decltype(&::WinHttpReadData) ReadData = nullptr;
    decltype(&::WinHttpCloseHandle) CloseHandle = nullptr;
    decltype(&::WinHttpCrackUrl) CrackUrl = nullptr;
};

// wevtapi.dll: the System log's records of refused removals.
struct WevtApi {
    decltype(&::EvtQuery) query = nullptr;
    decltype(&::EvtNext) next = nullptr;
    decltype(&::EvtCreateRenderContext) createRenderContext = nullptr;
    decltype(&::EvtRender) render = nullptr;
    decltype(&::EvtClose) close = nullptr;
};

// The tables, loaded at the first call (or a test's, while one is in place). Each throws
// PlatformError naming the DLL and the function when the DLL or one of its functions is missing,
// and tries again at the next call. nt::Ntdll() (nt_api_win32.h) gives ntdll's.
const CfgMgrApi& CfgMgr();
const SetupApi& SetupDi();
const ShellApi& Shell32();
const Ole32Api& Ole32();
const WinHttpApi& WinHttp();
const WevtApi& Wevt();

namespace dynamic_calls {
template <typename Api>
inline std::atomic<const Api*> replaced{nullptr};
}  // namespace dynamic_calls

// For a test: the accessor of Api answers `table` while the object lives, on every thread. The
// table must outlive the object.
template <typename Api>
class ReplacedDll {
public:
    explicit ReplacedDll(const Api& table)
        : previous_(dynamic_calls::replaced<Api>.exchange(&table)) {}
    ~ReplacedDll() { dynamic_calls::replaced<Api>.store(previous_); }
    ReplacedDll(const ReplacedDll&) = delete;
    ReplacedDll& operator=(const ReplacedDll&) = delete;

private:
    const Api* previous_;
};

}  // namespace varnel::win32
