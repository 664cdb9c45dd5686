// Standard output as the original runtime's `print` writes it: every call writes one whole
// line at once, so lines from several threads never interleave. Shares stdout's stream with
// printf, so the order of both is kept.
#pragma once

#include <string_view>

// Writes text and a newline as one unit. [any]
void print(std::string_view text);
// Writes text as given (the caller supplies any newline), as one unit. [any]
void printRaw(std::string_view text);
