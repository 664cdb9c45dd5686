#include "UIKit/UIFont.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-font.h>

#include <cmath>

#include "UIKit/internal/FontConfiguration.h"

namespace {

CGFloat usableSize(CGFloat size) {
  return std::isfinite(size) && size > 0 ? size : UIFont::defaultSize;
}

// A string property of the font fontconfig chose for the description.
std::string resolvedProperty(const UIFont& font, const char* property) {
  PangoFontDescription* description = font.makePangoDescription();
  PangoFont* loaded =
      pango_font_map_load_font(FontConfiguration::fontMap(), FontConfiguration::pangoContext(), description);
  pango_font_description_free(description);
  std::string value;
  if (loaded && PANGO_IS_FC_FONT(loaded)) {
    FcChar8* text = nullptr;
    if (FcPatternGetString(pango_fc_font_get_pattern(PANGO_FC_FONT(loaded)), property, 0, &text) ==
        FcResultMatch)
      value = reinterpret_cast<const char*>(text);
  }
  if (loaded)
    g_object_unref(loaded);
  return value;
}

// Ascent, descent and line height in points.
struct LineMetrics {
  CGFloat ascent = 0, descent = 0, height = 0;
};

LineMetrics lineMetrics(const UIFont& font) {
  PangoFontDescription* description = font.makePangoDescription();
  PangoFontMetrics* metrics =
      pango_context_get_metrics(FontConfiguration::pangoContext(), description, nullptr);
  pango_font_description_free(description);
  LineMetrics result{CGFloat(pango_font_metrics_get_ascent(metrics)) / PANGO_SCALE,
                     CGFloat(pango_font_metrics_get_descent(metrics)) / PANGO_SCALE,
                     CGFloat(pango_font_metrics_get_height(metrics)) / PANGO_SCALE};
  pango_font_metrics_unref(metrics);
  if (result.height <= 0)
    result.height = result.ascent + result.descent;
  return result;
}

}  // namespace

UIFont UIFont::systemFont(CGFloat ofSize) {
  UIFont font;
  font.fontName_ = FontConfiguration::systemFamily;
  font.family_ = FontConfiguration::systemFamily;
  font.pointSize_ = usableSize(ofSize);
  return font;
}

UIFont::UIFont(const std::string& name, CGFloat size) : pointSize_(usableSize(size)) {
  if (FontConfiguration::isKnownFamily(name)) {
    fontName_ = name;
    family_ = name;
  } else {
    // A name no installed font answers to draws in the system face rather than failing.
    fontName_ = FontConfiguration::systemFamily;
    family_ = FontConfiguration::systemFamily;
    fallback_ = true;
  }
}

PangoFontDescription* UIFont::makePangoDescription() const {
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, family_.c_str());
  pango_font_description_set_absolute_size(description, pointSize_ * PANGO_SCALE);
  return description;
}

std::string UIFont::resolvedFamily() const {
  return resolvedProperty(*this, FC_FAMILY);
}
std::string UIFont::resolvedStyle() const {
  return resolvedProperty(*this, FC_STYLE);
}
std::string UIFont::resolvedFile() const {
  return resolvedProperty(*this, FC_FILE);
}

CGFloat UIFont::ascender() const {
  return lineMetrics(*this).ascent;
}
CGFloat UIFont::descender() const {
  return -lineMetrics(*this).descent;
}
CGFloat UIFont::lineHeight() const {
  return lineMetrics(*this).height;
}
