// The input of a fuzz target written to a file, for the parsers that take a file name: one file
// a process (the process id is in its name, so parallel jobs do not share it), removed when the
// object goes, at the latest when the process ends.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

class InputFile {
 public:
  // /tmp/fuzz_<name>_<process id><extension>
  InputFile(const char* name, const char* extension)
      : path_(std::string("/tmp/fuzz_") + name + "_" + std::to_string(::getpid()) + extension) {}
  ~InputFile() { std::remove(path_.c_str()); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const std::string& path() const { return path_; }
  // Replaces the file's content with the input; false when it cannot be written.
  bool Write(const std::uint8_t* data, std::size_t size) const {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) return false;
    const bool whole = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && whole;
  }

 private:
  std::string path_;
};
