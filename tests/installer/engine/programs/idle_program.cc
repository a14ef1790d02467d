// Test program: does nothing for up to 60 seconds, so that its file is a
// program in use (Windows keeps a running program's file from being deleted
// or overwritten). The test ends it as soon as it is done.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Sleep(60000);
  return 0;
}
