// What the install engine needs from the window that shows the install. The
// install window implements it; tests implement it to watch the engine.
//
// Threads: every method is called on the UI thread (kUiThread), from tasks the
// engine posts there. Those tasks are bound to the host's weak flag, so none
// of them runs once the host is gone.
#pragma once

#include <string>

class InstallHost {
 public:
  virtual ~InstallHost() = default;

  // The progress bar's value (0 to 100) and the text of the progress label.
  virtual void ShowInstallProgress(double value, const std::wstring& text) = 0;
  // The install has completed: show the finished page.
  virtual void ShowInstallFinished() = 0;
  // The install has failed for good (no usable package, or nothing could be
  // extracted). The progress page stays; the host may tell the user.
  virtual void ShowInstallFailed() = 0;
};
