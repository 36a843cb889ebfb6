#pragma once
// A fresh directory for one test, removed with everything in it afterwards.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

class TTempDir {
public:
  TTempDir() {
    std::random_device random;
    FPath = std::filesystem::temp_directory_path() / ("veldara-test-" + std::to_string(random()));
    std::filesystem::create_directories(FPath);
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  std::string File(const std::string& name) const { return (FPath / name).string(); }
  const std::filesystem::path& Path() const { return FPath; }

  static std::string Read(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Write(const std::string& fileName, const std::string& content) {
    std::ofstream(fileName, std::ios::binary) << content;
  }
  // Every name below the folder (files, folders, links not followed), sorted,
  // with "/" between folders.
  static std::vector<std::string> Tree(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
      names.push_back(entry.path().lexically_relative(folder).generic_string());
    std::sort(names.begin(), names.end());
    return names;
  }

private:
  std::filesystem::path FPath;
};
