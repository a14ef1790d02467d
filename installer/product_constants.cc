#include "installer/product_constants.h"

bool UsesMainExe64(int system_bitness, const char* main_exe64_name_a) {
  return system_bitness == 64 && main_exe64_name_a && main_exe64_name_a[0] != '\0';
}

const wchar_t* MainExeName(int system_bitness) {
  return UsesMainExe64(system_bitness, kMainExe64NameA) ? kMainExe64Name : kMainExeName;
}

const char* MainExeNameA(int system_bitness) {
  return UsesMainExe64(system_bitness, kMainExe64NameA) ? kMainExe64NameA : kMainExeNameA;
}
