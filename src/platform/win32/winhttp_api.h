// WinHTTP, loaded from the system folder when the first exchange starts. The program does not
// import it: a DLL of that name beside the program would be loaded before any code of ours ran,
// and loading it (with what it pulls in) would also slow the way to the first window.
#pragma once

#include <windows.h>
#include <winhttp.h>

namespace varnel::win32 {

struct WinHttpApi {
    decltype(&::WinHttpOpen) Open;
    decltype(&::WinHttpConnect) Connect;
    decltype(&::WinHttpOpenRequest) OpenRequest;
    decltype(&::WinHttpSetTimeouts) SetTimeouts;
    decltype(&::WinHttpSetOption) SetOption;
    decltype(&::WinHttpSendRequest) SendRequest;
    decltype(&::WinHttpReceiveResponse) ReceiveResponse;
    decltype(&::WinHttpQueryHeaders) QueryHeaders;
    decltype(&::WinHttpQueryDataAvailable) QueryDataAvailable;
    decltype(&::WinHttpReadData) ReadData;
    decltype(&::WinHttpCloseHandle) CloseHandle;
    decltype(&::WinHttpCrackUrl) CrackUrl;
};

// Loads winhttp.dll from the system folder once and returns its entry points. Throws
// PlatformError when the DLL or one of its functions cannot be found.
const WinHttpApi& WinHttp();

}  // namespace varnel::win32
