// Which file a path or an open file is: the identity that tells two names of
// one file apart from the names of two files.
#pragma once

#include <cstdint>

namespace lumetra {

// Two names for the same file (links, "./" prefixes, either separator) have
// the same identity, and so have all the names of one device or terminal
// (/dev/pts/N, /dev/stdin, /dev/tty).
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  // A socket carries what is read from it and what is written to it apart.
  bool socket = false;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Fills identity for the file a path names; returns 0 or the errno value
// (ENOENT when nothing is there).
[[nodiscard]] int path_identity(const char* path, FileIdentity& identity) noexcept;
// True when path names the file that standard output or standard error
// writes to, of any kind (a regular file, a pipe, a socket, a terminal);
// never the null device, which keeps nothing.
[[nodiscard]] bool is_standard_output_file(const char* path) noexcept;

}  // namespace lumetra
