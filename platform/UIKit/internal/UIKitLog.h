// The UI layer's own diagnostics: one whole line on stderr per call, written at once, so the
// product's standard output stays exactly what the product prints. [any]
#pragma once

#if !defined(KOV_BUILDING_UIKIT) && !defined(KOV_UIKIT_TESTING)
#error "UIKit/internal/ is private to the UIKit library and its test support"
#endif

#include <string_view>

void uikitLog(std::string_view line);
