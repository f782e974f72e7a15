#include <mu/InputFile.h>

#include <sys/stat.h>

#include <td/String.h>

namespace mu
{
static_assert(cMaxInputFileSize == td::priv::cMaxStringLength);

bool openInputFile(std::ifstream& stream, const char* path, std::uintmax_t maxSize)
{
    if (!path || !*path)
        return false;
    // stat allocates nothing, so running out of memory is still the open's to report.
    struct stat info;
    if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > maxSize)
        return false;
    stream.open(path, std::ios::in | std::ios::binary);
    return stream.is_open();
}
} // namespace mu
