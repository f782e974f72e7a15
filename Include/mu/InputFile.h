// Opens a model or document file for reading: only a regular file no longer than the longest
// text the toolkit holds is opened; a folder, a device, a pipe or a larger file is refused unread.
#pragma once

#include <cstdint>
#include <fstream>

#include <td/CoreLibAPI.h>

namespace mu
{
// The longest file a loader reads: the length limit of a text (268435455 bytes).
inline constexpr std::uintmax_t cMaxInputFileSize = 0x0FFFFFFFu;

// Opens path as raw bytes into stream when it names a regular file (links followed) of at
// most maxSize bytes; false, with nothing opened or read, otherwise. The kind and size are
// looked up before the open, so a pipe or a device never blocks the caller. What the
// stream's open throws passes on.
CORELIB_API bool openInputFile(std::ifstream& stream, const char* path, std::uintmax_t maxSize = cMaxInputFileSize);
} // namespace mu
