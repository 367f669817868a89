// A fresh temporary folder made the current directory for one test, and the former current
// directory restored (and the folder removed) after it.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
 public:
  explicit TempFolder(const std::string& tag) {
    old_ = std::filesystem::current_path();
    char pattern[] = "/tmp/tessark_XXXXXX";
    root_ = ::mkdtemp(pattern);
    root_ /= tag;
    std::filesystem::create_directories(root_);
    std::filesystem::current_path(root_);
  }
  ~TempFolder() {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(root_.parent_path());
  }
  const std::filesystem::path& root() const { return root_; }

  static void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path().empty() ? "." : path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path old_, root_;
};
