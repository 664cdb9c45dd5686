// An object's identity as the platform's descriptions print it.
#pragma once

#include <string>

// The address as 0x and 16 lower-case hex digits ("0x00005581d2c0e0a0"). [any; allocates]
std::string describeAddress(const void* address);
