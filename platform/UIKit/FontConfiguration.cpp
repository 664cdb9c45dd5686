#include "UIKit/internal/FontConfiguration.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <map>

#include "Dispatch/DispatchQueue.h"

namespace {

// The product's faces (Helvetica Neue and its condensed bold) are not installed on Linux;
// Liberation Sans has the metrics of Helvetica, and its Narrow bold face is the nearest installable condensed
// bold. A plain alias would keep the requested (regular) weight, so the condensed bold name is a match rule
// that sets the weight as well. Rules run after the system's own configuration, so they override its generic
// fallbacks.
constexpr const char kRules[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <match target="pattern">
    <test name="family" compare="eq"><string>HelveticaNeue-CondensedBold</string></test>
    <edit name="family" mode="assign" binding="strong"><string>Liberation Sans Narrow</string></edit>
    <edit name="weight" mode="assign" binding="strong"><const>bold</const></edit>
  </match>
  <alias binding="strong">
    <family>HelveticaNeue</family>
    <prefer><family>Liberation Sans</family></prefer>
  </alias>
  <alias binding="strong">
    <family>Helvetica Neue</family>
    <prefer><family>Liberation Sans</family></prefer>
  </alias>
  <alias binding="strong">
    <family>.SFUI-Regular</family>
    <prefer><family>Liberation Sans</family></prefer>
  </alias>
</fontconfig>
)";

constexpr const char* kMappedFamilies[] = {"HelveticaNeue-CondensedBold", "HelveticaNeue", "Helvetica Neue",
                                           FontConfiguration::systemFamily};

struct TextSystem {
  FcConfig* config = nullptr;
  PangoFontMap* fontMap = nullptr;
  PangoContext* context = nullptr;

  TextSystem() {
    config = FcInitLoadConfigAndFonts();
    if (config && !FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kRules), FcTrue)) {
      g_warning("font rules could not be parsed; named faces fall back to fontconfig's defaults");
    }
    fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    if (config && fontMap && PANGO_IS_FC_FONT_MAP(fontMap)) {
      pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(fontMap), config);  // takes its own reference
    }
    if (!fontMap)
      fontMap = pango_cairo_font_map_new();
    context = pango_font_map_create_context(fontMap);

    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context, FALSE);
    // Sizes are absolute (points = pixels), so the resolution only matters for relative sizes.
    pango_cairo_context_set_resolution(context, 72);
  }
  ~TextSystem() {
    g_object_unref(context);
    g_object_unref(fontMap);
    if (config)
      FcConfigDestroy(config);
  }
};

TextSystem& textSystem() {
  static TextSystem system;
  return system;
}

// A family name as fontconfig compares it: ASCII case and blanks ignored.
std::string comparable(const std::string& family) {
  std::string key;
  for (char c : family) {
    if (c != ' ')
      key += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return key;
}

bool hasInstalledFamily(FcConfig* config, const std::string& family) {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* fonts = FcFontList(config, pattern, objects);
  const bool found = fonts && fonts->nfont > 0;
  if (fonts)
    FcFontSetDestroy(fonts);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return found;
}

}  // namespace

namespace FontConfiguration {

PangoContext* pangoContext() {
  return textSystem().context;
}

PangoFontMap* fontMap() {
  return textSystem().fontMap;
}

void prepareInBackground() {
  // The static's initialisation is guarded: whichever thread comes second waits for the first.
  DispatchQueue::global().async([] { (void)textSystem(); });
}

bool isKnownFamily(const std::string& family) {
  if (family.empty())
    return false;
  const std::string key = comparable(family);
  for (const char* mapped : kMappedFamilies) {
    if (comparable(mapped) == key)
      return true;
  }
  static std::map<std::string, bool> cache;
  auto found = cache.find(family);
  if (found == cache.end()) {
    found = cache.emplace(family, hasInstalledFamily(textSystem().config, family)).first;
  }
  return found->second;
}

}  // namespace FontConfiguration
