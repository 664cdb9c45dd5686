// The UI layer's own diagnostics: one whole line on stderr per call, written at once, so the
// product's standard output stays exactly what the product prints. [any]
#pragma once

#include <string_view>

void uikitLog(std::string_view line);
