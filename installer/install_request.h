// Everything one install run needs, copied from the install window when the
// user starts the install. The engine runs on the worker thread and may
// outlive the window (the user can confirm leaving while it runs; the process
// waits for the worker before it exits), so it works on this copy and never
// reads the window's own fields.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "installer/endpoints.h"
#include "installer/install_context.h"
#include "installer/product_constants.h"

// The optional integration steps after extraction; each is skipped when its
// value is empty. The defaults are the product constants.
struct PostInstallHelpers {
  std::wstring helper_exe = kHelperExeName;
  std::wstring shell_ext_dll32 = kShellExtDll32;
  std::wstring shell_ext_dll64 = kShellExtDll64;
  std::wstring register_dll_list = kRegisterDllList;
  std::wstring register_dll_list64 = kRegisterDllList64;
  std::wstring register_dll_list_extra = kRegisterDllListExtra;
  std::wstring extra_program = kExtraProgram;
  std::wstring extra_program_args = kExtraProgramArgs;
};

struct InstallRequest {
  // Absolute, ends with "\".
  std::wstring install_folder;
  InstallContext context;
  std::string machine_id;
  // 32 or 64 (SystemBitness()).
  int system_bitness = 32;
  Endpoints endpoints = BuiltInEndpoints();
  PostInstallHelpers helpers;
  // Set once, by the engine, at the very end of a successful install; shared
  // with the window, which reads it to decide whether closing needs a
  // confirmation.
  std::shared_ptr<std::atomic<bool>> install_finished = std::make_shared<std::atomic<bool>>(false);
};
