#include "platform/win32/connection_cutter.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h before windows.h: windows.h would bring the old winsock.h.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace varnel::win32 {
namespace {

// SystemExtendedHandleInformation: every open handle of the system with its owner's id.
constexpr ULONG kExtendedHandleInformation = 64;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct HandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT typeIndex;
    ULONG attributes;
    ULONG reserved;
};

struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
using GetSockOpt = int(WINAPI*)(SOCKET, int, int, char*, int*);
using GetPeerName = int(WINAPI*)(SOCKET, sockaddr*, int*);
using ShutDown = int(WINAPI*)(SOCKET, int);

template <typename Function>
Function Find(HMODULE module, const char* name) {
    // The cast from FARPROC is how every entry point found by name is typed.
    return module == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// This process's handles, or none when the system will not list them.
std::vector<ULONG_PTR> OwnHandles() {
    const auto query =
        Find<QuerySystemInformation>(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
    if (query == nullptr) {
        return {};
    }
    std::vector<unsigned char> buffer(1 << 20);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(kExtendedHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 65536));
            continue;
        }
        if (status < 0) {
            return {};
        }
        const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
        const size_t room = (buffer.size() - offsetof(HandleTable, entries)) / sizeof(HandleEntry);
        const size_t count = std::min<size_t>(table->count, room);
        std::vector<ULONG_PTR> own;
        const ULONG_PTR self = GetCurrentProcessId();
        for (size_t i = 0; i < count; ++i) {
            if (table->entries[i].processId == self) {
                own.push_back(table->entries[i].handle);
            }
        }
        return own;
    }
    return {};
}

}  // namespace

int CutConnectionsTo(uint16_t port) {
    // WinHTTP has loaded Winsock if it made a connection; without it there is nothing to cut.
    const HMODULE winsock = GetModuleHandleW(L"ws2_32.dll");
    const auto getSockOpt = Find<GetSockOpt>(winsock, "getsockopt");
    const auto getPeerName = Find<GetPeerName>(winsock, "getpeername");
    const auto shutDown = Find<ShutDown>(winsock, "shutdown");
    if (getSockOpt == nullptr || getPeerName == nullptr || shutDown == nullptr) {
        return 0;
    }
    int cut = 0;
    for (const ULONG_PTR handle : OwnHandles()) {
        const auto socket = static_cast<SOCKET>(handle);
        int type = 0;
        int typeSize = sizeof type;
        if (getSockOpt(socket, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &typeSize) !=
                0 ||
            type != SOCK_STREAM) {
            continue;  // not a socket, or not TCP
        }
        sockaddr_storage peer{};
        int peerSize = sizeof peer;
        if (getPeerName(socket, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0) {
            continue;  // not connected
        }
        const uint16_t peerPort = peer.ss_family == AF_INET6
                                      ? reinterpret_cast<const sockaddr_in6&>(peer).sin6_port
                                      : reinterpret_cast<const sockaddr_in&>(peer).sin_port;
        if (peer.ss_family != AF_INET && peer.ss_family != AF_INET6) {
            continue;
        }
        if (((peerPort & 0xFF) << 8 | peerPort >> 8) == port && shutDown(socket, SD_BOTH) == 0) {
            ++cut;
        }
    }
    return cut;
}

}  // namespace varnel::win32
