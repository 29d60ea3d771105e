#include "base/stop.h"

std::atomic<bool> stop_requested{false};
