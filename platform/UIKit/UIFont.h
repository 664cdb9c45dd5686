// Fonts by name and size in points (1 point = 1 pixel at scale 1). The product's face names are
// mapped to installed ones through fontconfig rules loaded in-process:
// "HelveticaNeue" to Liberation Sans, "HelveticaNeue-CondensedBold" to Liberation Sans Narrow
// Bold, and the system font to Liberation Sans. A name no installed font answers to falls back
// to the system font. [main]
#pragma once

#include <string>

#include "CoreGraphics/CGGeometry.h"

typedef struct _PangoFontDescription PangoFontDescription;

class UIFont {
 public:
  // UIFont.systemFont(ofSize:).
  static UIFont systemFont(CGFloat ofSize);
  // UIFont(name:size:); never fails: an unknown name gives the system font of that size. A size
  // that is not a positive finite number means the default size, 12.
  UIFont(const std::string& name, CGFloat size);

  // The name asked for (the system font's own name for the system font and for fallbacks).
  const std::string& fontName() const { return fontName_; }
  CGFloat pointSize() const { return pointSize_; }
  // The family name handed to fontconfig, before its rules map it.
  const std::string& familyName() const { return family_; }
  bool isSystemFallback() const { return fallback_; }

  // What fontconfig resolved the font to, asked of the loaded font: family (e.g. "Liberation Sans
  // Narrow"), style (e.g. "Bold") and font file.
  std::string resolvedFamily() const;
  std::string resolvedStyle() const;
  std::string resolvedFile() const;
  // Line metrics of the resolved face at this size, in points.
  CGFloat ascender() const;
  CGFloat descender() const;  // negative, below the baseline
  CGFloat lineHeight() const;

  // A new Pango description (absolute size in points) for text layout; the caller frees it.
  PangoFontDescription* makePangoDescription() const;

  bool operator==(const UIFont& other) const {
    return fontName_ == other.fontName_ && pointSize_ == other.pointSize_;
  }

  static constexpr CGFloat defaultSize = 12;

 private:
  UIFont() = default;
  std::string fontName_;
  std::string family_;  // the family name handed to fontconfig (aliases resolve from it)
  CGFloat pointSize_ = defaultSize;
  bool fallback_ = false;
};
