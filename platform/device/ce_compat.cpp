#include "platform/ce_compat.h"

// The device's standard output takes the diagnostics as they are, and its
// loader searches no working directory: nothing to prepare.
void InitPlatform() {}
