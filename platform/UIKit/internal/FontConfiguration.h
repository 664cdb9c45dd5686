// The text system behind fonts and string drawing: a fontconfig configuration holding the
// platform's font-name rules, and one Pango font map and layout context over it, made on first
// use and kept for the life of the process. The rules are parsed in-process (no file is written
// or read outside the system's own font configuration) and apply only to this font map, not to
// fontconfig's global configuration that other libraries (GTK) use. [main]
#pragma once

#if !defined(KOV_BUILDING_UIKIT) && !defined(KOV_UIKIT_TESTING)
#error "UIKit/internal/ is private to the UIKit library and its test support"
#endif

#include <string>

typedef struct _PangoContext PangoContext;
typedef struct _PangoFontMap PangoFontMap;

namespace FontConfiguration {

// The family name the system font is asked for by; a rule maps it to Liberation Sans.
inline constexpr const char* systemFamily = ".SFUI-Regular";

// The layout context: absolute sizes, unhinted metrics, no outline hinting and unrounded glyph
// positions, with an identity matrix so that layout never depends on the drawing transform.
PangoContext* pangoContext();
PangoFontMap* fontMap();

// [main] Starts making the text system on a global-queue thread, so that reading the font
// configuration and the fonts' caches (tens of milliseconds) overlaps the window's set-up; the
// first use on the main thread waits for it if it has not finished. The text system is then
// only used on the main thread, as before.
void prepareInBackground();

// True for the names the rules map and for families installed on this machine (compared as
// fontconfig compares them: case and blanks ignored). Cached per name.
bool isKnownFamily(const std::string& family);

}  // namespace FontConfiguration
