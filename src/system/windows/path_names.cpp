// File names as Windows opens them.
#include "system/windows/path_names.h"

#include <string_view>

#include "system/windows/windows_headers.h"

namespace lumetra {

namespace {

bool is_separator(wchar_t character) noexcept { return character == L'\\' || character == L'/'; }

// \\?\ or \\.\ (either slash): what follows is passed to the system as it is.
std::size_t system_prefix_length(std::wstring_view name) noexcept {
  const bool prefixed = name.size() >= 4 && is_separator(name[0]) && is_separator(name[1]) &&
                        (name[2] == L'?' || name[2] == L'.') && is_separator(name[3]);
  return prefixed ? 4 : 0;
}

bool starts_with_drive(std::wstring_view name) noexcept {
  return name.size() >= 2 && name[1] == L':' &&
         ((name[0] >= L'A' && name[0] <= L'Z') || (name[0] >= L'a' && name[0] <= L'z'));
}

// "messung 12:30.txt" is the stream "30.txt" of the file "messung 12": the
// records would be written where no one finds them.
bool names_a_stream(std::wstring_view name) noexcept {
  name.remove_prefix(system_prefix_length(name));
  if (starts_with_drive(name)) name.remove_prefix(2);
  return name.find(L':') != std::wstring_view::npos;
}

std::wstring full_path(const std::wstring& name) {
  const DWORD room = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (room == 0) return {};
  std::wstring full(room, L'\0');
  const DWORD length = GetFullPathNameW(name.c_str(), room, full.data(), nullptr);
  full.resize(length < room ? length : 0);
  return full;
}

}  // namespace

std::wstring long_path_form(const std::wstring& name) {
  if (system_prefix_length(name) != 0) return name;
  const std::wstring full = full_path(name);
  // MAX_PATH counts the terminating zero.
  if (full.size() < MAX_PATH || system_prefix_length(full) != 0) return name;
  if (is_separator(full[0]) && is_separator(full[1])) return L"\\\\?\\UNC" + full.substr(1);
  return L"\\\\?\\" + full;
}

std::wstring windows_path(const char* path) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
  if (length <= 1) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path, -1, wide.data(), length);
  wide.resize(static_cast<std::size_t>(length - 1));
  if (names_a_stream(wide)) return {};
  return long_path_form(wide);
}

}  // namespace lumetra
