// Which open handles of the File type are worth asking the name of. A handle whose granted
// access is one that pipes typically hold is skipped before its name is asked: on Windows, the
// name query of a synchronous pipe with a read waiting blocks, and a system holds many pipes, so
// each skipped handle spares a query and a possible wait for the time limit.
#pragma once

#include <cstdint>

namespace varnel {

// False for the access masks of pipe ends that no open file, folder or volume of a drive is
// given by CreateFileW (file access rights plus SYNCHRONIZE):
//   0x00100000  SYNCHRONIZE alone: it can neither read, write, list nor query a file;
//   0x00120189  an anonymous pipe's read end (FILE_GENERIC_READ | FILE_WRITE_ATTRIBUTES);
//   0x001A019F  a duplex named pipe created with WRITE_DAC.
// 0x0012019F, a duplex named pipe without WRITE_DAC, is asked all the same: it is also what a file
// opened for reading and writing holds, and such a file is a drive's most common holder. A pipe
// of that mask that hangs costs the name query's time limit.
constexpr bool MayNameAFile(uint32_t grantedAccess) {
    return grantedAccess != 0x00100000 && grantedAccess != 0x00120189 &&
           grantedAccess != 0x001A019F;
}

}  // namespace varnel
