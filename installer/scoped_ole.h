// COM and OLE initialised on the calling thread for the length of one shell
// call (a shell link, ShellExecuteEx), undoing exactly what was done.
#pragma once

#include <objbase.h>
#include <ole2.h>

class ScopedOle {
 public:
  ScopedOle() : com_(SUCCEEDED(CoInitialize(nullptr))), ole_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~ScopedOle() {
    if (ole_) OleUninitialize();
    if (com_) CoUninitialize();
  }
  ScopedOle(const ScopedOle&) = delete;
  ScopedOle& operator=(const ScopedOle&) = delete;

 private:
  bool com_;
  bool ole_;
};
