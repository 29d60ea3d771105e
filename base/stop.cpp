#include "base/stop.h"

std::atomic<bool> stop_requested{false};
std::atomic<bool> reload_requested{false};
