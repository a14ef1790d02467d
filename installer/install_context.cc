#include "installer/install_context.h"

#include "installer/os_info.h"
#include "installer/path_util.h"
#include "installer/product_constants.h"
#include "installer/text_util.h"

InstallContext BuildInstallContext() {
  return BuildInstallContextFor(ModuleFileName(), OwnFileVersion(), OsName());
}

InstallContext BuildInstallContextFor(const std::wstring& file_name, const std::string& file_version,
                                      const std::string& os_label) {
  size_t separator = file_name.rfind(L'\\');
  if (separator == std::wstring::npos) separator = file_name.rfind(L'/');
  std::wstring name = separator == std::wstring::npos ? file_name : file_name.substr(separator + 1);
  size_t dot = name.rfind(L'.');
  std::wstring base = dot == std::wstring::npos ? name : name.substr(0, dot);

  InstallContext context;
  context.setup = WideToAnsi(base);
  context.packdt = file_version;
  context.app = kProductSlugA;
  context.pos = WideToAnsi(UnderscorePiece1(base));
  context.ver = file_version;
  context.os = os_label;
  context.bdvid = WideToAnsi(UnderscorePiece2(base));
  return context;
}
