#include "installer/interface_startup.h"

// FIXME: the skin archive, the UI framework's resources and the install window
// are not brought up yet; until they are, the installer runs an empty UI loop.
void StartInterface() {}

void StopInterface() {}
