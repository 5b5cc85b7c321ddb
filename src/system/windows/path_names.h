// File names as Windows opens them: the UTF-16 form of a UTF-8 name, names
// that hold no plain file, and the long form of paths beyond MAX_PATH.
#pragma once

#include <string>

namespace lumetra {

// The name CreateFileW is given for a UTF-8 path ("/" or "\" between
// folders): its UTF-16 form, through long_path_form. Empty for a name that
// no plain file has: the empty name, and a name with a ":" other than the
// drive's at its start ("C:"), which NTFS takes for a stream of another
// file. May throw std::bad_alloc.
[[nodiscard]] std::wstring windows_path(const char* path);

// A name whose full path (as GetFullPathNameW makes it: the current folder
// or the drive's before a relative name, "." and ".." resolved, "\" between
// folders) does not fit in MAX_PATH, in the \\?\ form of that full path
// (\\?\UNC\server\share\... for a network name), under which Windows opens
// it whatever its length. Any other name is returned as it is, as is one
// that already names a device or a path in the system's own form (\\.\ or
// \\?\). May throw std::bad_alloc.
[[nodiscard]] std::wstring long_path_form(const std::wstring& name);

}  // namespace lumetra
