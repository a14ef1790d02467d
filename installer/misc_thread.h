// MiscThread: the installer's worker, "Global Misc Thread". It runs a default
// loop and is reachable as kMiscThread while that loop runs.
#pragma once

#include <cstdint>

#include "base/framework_thread.h"

class MiscThread : public qbase::FrameworkThread {
 public:
  MiscThread();
  ~MiscThread() override;

 protected:
  void Init() override;
  void Cleanup() override;

 private:
  int32_t identifier_;
};
