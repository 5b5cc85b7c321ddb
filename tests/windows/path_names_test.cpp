// File names as Windows opens them: the long form of paths beyond MAX_PATH
// and the names that hold no plain file.
#include "system/windows/path_names.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace lumetra {
namespace {

// Folders of 26 characters and a separator: ten make a path beyond MAX_PATH.
std::wstring folders(int count, wchar_t separator = L'\\') {
  std::wstring path;
  for (int n = 0; n < count; ++n) path += std::wstring(L"Messungen-Wechselrichter-") + wchar_t(L'a' + n) + separator;
  return path;
}

std::wstring current_folder() {
  std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
  folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
  if (folder.back() != L'\\') folder += L'\\';
  return folder;
}

TEST(PathNames, PathsBeyondMaxPathTakeTheirLongForm) {
  // A drive's own current folder, which a drive-relative name starts from.
  ASSERT_TRUE(SetEnvironmentVariableW(L"=Q:", L"Q:\\Anlage"));
  const std::wstring deep = folders(10);
  const struct {
    std::wstring name;
    std::wstring form;
  } cases[] = {
      {L"pv-log.csv", L"pv-log.csv"},
      {L"C:/Daten/pv-log.csv", L"C:/Daten/pv-log.csv"},
      {L"Q:pv-log.csv", L"Q:pv-log.csv"},
      {L"//server/share/pv-log.csv", L"//server/share/pv-log.csv"},
      {deep + L"pv-log.csv", L"\\\\?\\" + current_folder() + deep + L"pv-log.csv"},
      {folders(10, L'/') + L"pv-log.csv", L"\\\\?\\" + current_folder() + deep + L"pv-log.csv"},
      {L"C:/Daten/" + folders(11, L'/') + L"../pv-log.csv", L"\\\\?\\C:\\Daten\\" + deep + L"pv-log.csv"},
      {L"Q:" + deep + L"pv-log.csv", L"\\\\?\\Q:\\Anlage\\" + deep + L"pv-log.csv"},
      {L"\\\\server\\share\\" + deep + L"pv-log.csv", L"\\\\?\\UNC\\server\\share\\" + deep + L"pv-log.csv"},
      {L"//server/share/" + folders(10, L'/') + L"pv-log.csv", L"\\\\?\\UNC\\server\\share\\" + deep + L"pv-log.csv"},
      {L"\\\\?\\C:\\" + deep + L"pv-log.csv", L"\\\\?\\C:\\" + deep + L"pv-log.csv"},
  };
  for (const auto& [name, form] : cases) {
    SCOPED_TRACE(testing::Message() << std::string(name.begin(), name.end()));
    EXPECT_EQ(long_path_form(name), form);
  }
}

// MAX_PATH holds 259 characters and the terminating zero.
TEST(PathNames, TheLongFormBeginsAtMaxPath) {
  const std::wstring start = L"C:\\" + folders(9);
  for (const std::size_t length : {MAX_PATH - 1, MAX_PATH}) {
    const std::wstring name = start + std::wstring(length - start.size(), L'x');
    EXPECT_EQ(long_path_form(name), length < MAX_PATH ? name : L"\\\\?\\" + name);
  }
}

TEST(PathNames, AColonOnlyAfterTheDrive) {
  const struct {
    const char* path;
    const wchar_t* name;
  } cases[] = {
      {"M\xC3\xA4rz.csv", L"M\u00e4rz.csv"},
      {"C:pv-log.csv", L"C:pv-log.csv"},
      {"C:/Daten/pv-log.csv", L"C:/Daten/pv-log.csv"},
      {"//?/C:/Daten/pv-log.csv", L"//?/C:/Daten/pv-log.csv"},
      {"\\\\.\\COM1", L"\\\\.\\COM1"},
      {"messung 12:30.txt", L""},
      {"C:/Daten/messung 12:30.txt", L""},
      {"pv-log.csv::$DATA", L""},
      {"//?/C:/Daten/a:b", L""},
      {"1:pv-log.csv", L""},
      {"", L""},
  };
  for (const auto& [path, name] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(windows_path(path), name);
  }
}

}  // namespace
}  // namespace lumetra
