// The built installer executable opened as a data file, to read its own
// resources exactly as the shipped program finds them.
#pragma once

#include <windows.h>

#include <string>

namespace test {

class InstallerModule {
 public:
  // Opens the installer that this test program was built with.
  InstallerModule();
  ~InstallerModule();
  InstallerModule(const InstallerModule&) = delete;
  InstallerModule& operator=(const InstallerModule&) = delete;

  bool ok() const { return module_ != nullptr; }
  HMODULE handle() const { return module_; }
  // Windows path of the executable.
  static std::wstring Path();

  // The bytes of the resource, or empty with *found false.
  std::string Resource(const wchar_t* type, int id, bool* found = nullptr) const;

 private:
  HMODULE module_ = nullptr;
};

}  // namespace test
