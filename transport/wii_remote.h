// Moved to protocol/wii_remote.h; kept until the VM harness includes that.
#pragma once

#include "protocol/wii_remote.h"
