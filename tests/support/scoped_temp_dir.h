// A fresh folder under the user's temporary folder (inside the Wine prefix's
// drive), removed with everything in it when the object goes away.
#pragma once

#include <string>

namespace test {

class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  // Absolute path ending with "\".
  const std::wstring& path() const { return path_; }
  std::wstring Child(const std::wstring& relative) const { return path_ + relative; }

 private:
  std::wstring path_;
};

// Removes a file or a folder tree, clearing read-only attributes on the way.
void RemoveTree(const std::wstring& path);

}  // namespace test
