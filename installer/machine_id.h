// The machine id: 32 lowercase hexadecimal characters that identify this user
// on this computer across installer runs. It is kept as the REG_SZ value "mn"
// of HKEY_CURRENT_USER\Software\Ravelin.
#pragma once

#include <string>

// The stored id when there is one (any non-empty string value); otherwise a
// new one, the MD5 of a new GUID, the local time and the tick count, which is
// stored for the next run. A failed store is ignored: the new id still serves
// this run. Never empty. Call it once per run, on the UI thread.
std::string LoadOrCreateMachineId();
