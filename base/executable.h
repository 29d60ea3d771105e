#pragma once

#include <string>

// The folder that holds the running program, without a trailing separator;
// "" when it cannot be told.
std::string ExecutableFolder();
