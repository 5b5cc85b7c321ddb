// A temporary folder for tests that work on real files, removed with all it
// holds when the test ends, and helpers to write and read whole files.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace lumetra {

class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    path_ =
        std::filesystem::temp_directory_path() / ("lumetra-test-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  [[nodiscard]] std::string path(std::string_view name) const { return (path_ / name).string(); }
  [[nodiscard]] const std::filesystem::path& root() const noexcept { return path_; }

  // Writes bytes as the whole content of the named file; returns its path.
  std::string write(std::string_view name, std::string_view bytes) const {
    const std::string file = path(name);
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
  }

  [[nodiscard]] std::string read(std::string_view name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path path_;
};

}  // namespace lumetra
