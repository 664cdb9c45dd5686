// A fixed list of capital-city names, spelled as the toolkit has always spelled them.
#pragma once

#include <string>
#include <vector>

// 197 UTF-8 names in a fixed order, built on first use (thread-safe); never changes. [any]
const std::vector<std::string>& capitals();
