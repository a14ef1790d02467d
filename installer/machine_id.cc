#include "installer/machine_id.h"

#include <windows.h>

#include "installer/generated_text.h"
#include "installer/md5.h"
#include "installer/registry_util.h"
#include "installer/text_util.h"

namespace {

constexpr char kVendorKey[] = "Software\\Ravelin";
constexpr char kMachineIdValue[] = "mn";

}  // namespace

std::string LoadOrCreateMachineId() {
  std::string stored;
  if (ReadRegistryString(HKEY_CURRENT_USER, kVendorKey, kMachineIdValue, &stored) && !stored.empty()) {
    return stored;
  }
  const std::string seed =
      NewGuidText() + CurrentTimeText() + FormatNarrow("%d", static_cast<int>(GetTickCount()));
  std::string id = Md5Hex(seed);
  if (!WriteRegistryString(HKEY_CURRENT_USER, kVendorKey, kMachineIdValue, id)) {
    // Not stored: this run still uses the id, and the next run makes a new one.
  }
  return id;
}
