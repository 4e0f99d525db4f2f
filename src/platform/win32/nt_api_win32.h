// The few ntdll functions the program needs and the layouts they answer with. The functions are
// found at run time (ntdll is in every process but has no import library entry in a plain MinGW
// link): their table is loaded with the others in dynamic_calls_win32.
#pragma once

#include <windows.h>

#include <cstdint>

namespace varnel::win32::nt {

using Status = LONG;
constexpr Status kInfoLengthMismatch = static_cast<Status>(0xC0000004L);
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kObjectNameInformation = 1;
constexpr ULONG kObjectTypeInformation = 2;
constexpr ULONG kProcessBasicInformation = 0;
constexpr ULONG kProcessBreakOnTermination = 29;

struct CountedString {  // UNICODE_STRING
    USHORT length;      // in bytes
    USHORT maximumLength;
    PWSTR buffer;
};

struct HandleEntry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO_EX
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};

struct HandleTable {  // SYSTEM_HANDLE_INFORMATION_EX
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry handles[1];
};

struct ProcessBasics {  // PROCESS_BASIC_INFORMATION
    Status exitStatus;
    PVOID pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR parentProcessId;
};

// The start of a 64-bit process's PEB, to its RTL_USER_PROCESS_PARAMETERS.
struct PebHead {
    unsigned char flags[8];
    PVOID mutant;
    PVOID imageBase;  // 0x10
    PVOID loaderData;
    PVOID processParameters;  // 0x20
};

// CURDIR, at this offset in RTL_USER_PROCESS_PARAMETERS.
struct CurrentDirectory {
    CountedString path;
    HANDLE handle;
};
constexpr size_t kParametersCurrentDirectory = 0x38;
static_assert(sizeof(void*) != 8 || (offsetof(PebHead, imageBase) == 0x10 &&
                                     offsetof(PebHead, processParameters) == 0x20 &&
                                     offsetof(CurrentDirectory, handle) == 0x10));

constexpr ULONG kFileProcessIdsUsingFileInformation = 47;

struct IoStatus {  // IO_STATUS_BLOCK
    union {
        LONG status;
        PVOID pointer;
    };
    ULONG_PTR information;
};

struct ProcessIdList {  // FILE_PROCESS_IDS_USING_FILE_INFORMATION
    ULONG numberOfProcessIdsInList;
    ULONG_PTR processIdList[1];
};

using QuerySystemInformation = Status(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryObject = Status(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
using QueryInformationProcess = Status(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
using QueryInformationFile = Status(NTAPI*)(HANDLE, IoStatus*, PVOID, ULONG, ULONG);

// ntdll's table; a test replaces it with ReplacedDll<nt::Functions> (dynamic_calls_win32.h).
struct Functions {
    QuerySystemInformation querySystemInformation = nullptr;
    QueryObject queryObject = nullptr;
    QueryInformationProcess queryInformationProcess = nullptr;
    QueryInformationFile queryInformationFile = nullptr;
};

// Looked up once; throws PlatformError when ntdll lacks one of them. Defined with the other
// tables in dynamic_calls_win32.cpp.
const Functions& Ntdll();

}  // namespace varnel::win32::nt
