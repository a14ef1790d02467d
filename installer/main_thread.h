// MainThread: the installer's UI thread. The entry point runs it on its own
// thread with a UI loop. Init registers kUiThread, starts the worker (which
// is registered as kMiscThread before StartWorker returns, so the interface
// can post to it from its first handlers) and brings the interface up;
// Cleanup, after the UI loop has ended, takes the interface down and stops and
// joins the worker, so a running install always completes.
#pragma once

#include <memory>

#include "base/framework_thread.h"

class MiscThread;

class MainThread : public qbase::FrameworkThread {
 public:
  MainThread();
  ~MainThread() override;

 protected:
  void Init() override;
  void Cleanup() override;

  // The interface's start and stop (StartInterface/StopInterface); tests that
  // drive the threads without a window replace them.
  virtual void StartUserInterface();
  virtual void StopUserInterface();

  // Creates the worker, replacing any previous one, and starts it; it is
  // registered once this returns (unless it could not start).
  void StartWorker();
  // Asks the worker to stop, waits for it without time-out and deletes it.
  void StopWorker();

 private:
  std::unique_ptr<MiscThread> misc_thread_;
};
