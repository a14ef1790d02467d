#include "tests/installer/resources/installer_module.h"

namespace test {

std::wstring InstallerModule::Path() {
  // The build passes a "Z:"-prefixed Unix path; LoadLibraryEx wants
  // backslashes.
  std::wstring path = INSTALLER_EXE_PATH;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

InstallerModule::InstallerModule() {
  module_ = LoadLibraryExW(Path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

InstallerModule::~InstallerModule() {
  if (module_) FreeLibrary(module_);
}

std::string InstallerModule::Resource(const wchar_t* type, int id, bool* found) const {
  if (found) *found = false;
  if (!module_) return std::string();
  HRSRC info = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
  if (!info) return std::string();
  HGLOBAL loaded = LoadResource(module_, info);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return std::string();
  if (found) *found = true;
  return std::string(static_cast<const char*>(bytes), SizeofResource(module_, info));
}

}  // namespace test
