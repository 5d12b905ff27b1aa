#pragma once
// Scratch folders, raw file access and a recording terminal for the tests of the support
// routines. Raw access goes through the C++ library, never through the routines under test.

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <random>
#include <set>
#include <string>

#include "terminal.h"

// A fresh, empty folder, removed with everything in it when the test ends.
class ScratchFolder {
 public:
  ScratchFolder() { std::filesystem::create_directories(root_); }
  ~ScratchFolder() { std::filesystem::remove_all(root_, ignored_); }
  // The folder itself, or name inside it, with the platform's separators.
  Text Path(const std::string& name = "") const { return (root_ / name).string(); }
  // The names of the folder's entries.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (auto& entry : std::filesystem::directory_iterator(root_))
      names.insert(entry.path().filename().string());
    return names;
  }

 private:
  const std::filesystem::path root_ = std::filesystem::temp_directory_path() /
                                      ("sceneryreg-test-" + std::to_string(std::random_device()()));
  std::error_code ignored_;
};

inline void WriteRaw(const Text& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
}

inline std::string ReadRaw(const Text& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Keeps what is printed, and each key wait as "<key>".
class RecordingTerminal : public Terminal {
 public:
  void Print(const Text& text) override { shown += text; }
  int WaitForKey() override { return shown += "<key>", 13; }
  Text shown;
};
