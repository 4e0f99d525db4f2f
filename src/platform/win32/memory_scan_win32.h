// The files a process has mapped into its memory (its program, its DLLs, mapped data files)
// and its current directory, read from outside the process.
#pragma once

#include <cstdint>

#include "platform/holder_scan.h"

namespace varnel::win32 {

// Fills the view's mappings, current directory and memoryRead; leaves memoryRead false when
// the process cannot be opened for reading.
void ScanMemory(uint32_t pid, ProcessView& view);

}  // namespace varnel::win32
