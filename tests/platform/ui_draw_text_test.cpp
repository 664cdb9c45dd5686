// Fonts resolved through the platform's font rules, and string measuring and drawing: wrapping,
// centring, clipping of lines that do not fit, and the same layout at every scale.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "CoreGraphics/CGBitmapContext.h"
#include "UIKit/NSStringDrawing.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/internal/TextLayoutCache.h"

namespace {

// The bounding box of pixels with any ink, in points; zero when there is none.
CGRect inkBounds(const CGBitmapContext& image) {
  int x0 = image.pixelWidth(), y0 = image.pixelHeight(), x1 = -1, y1 = -1;
  for (int y = 0; y < image.pixelHeight(); ++y)
    for (int x = 0; x < image.pixelWidth(); ++x)
      if (image.pixel(x, y).alpha > 40) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
  if (x1 < 0)
    return CGRect();
  const CGFloat s = image.scale();
  return CGRect(x0 / s, y0 / s, (x1 + 1 - x0) / s, (y1 + 1 - y0) / s);
}

// Draws as the editor's drawers do: measure the block for the box width, then draw it centred
// vertically in the box, under a clip to the box.
void drawCentred(CGContext& cg, const std::string& text, const CGRect& box, const UIFont& font) {
  NSParagraphStyle style;
  style.alignment = NSTextAlignment::center;
  const NSStringAttributes attributes{font, UIColor::black(), style};
  const CGFloat h =
      NSString(text).boundingRect(CGSize{box.width(), INFINITY}, usesLineFragmentOrigin, attributes).height();
  cg.saveGState();
  cg.clip(box);
  NSString(text).draw(CGRect(box.minX(), box.minY() + (box.height() - h) / 2, box.width(), h), attributes);
  cg.restoreGState();
}

TEST(UIDrawText, FontNamesResolveToTheMappedFaces) {
  struct Case {
    const char* name;
    UIFont font;
    const char* family;
    const char* style;
    const char* file;
  } cases[] = {
      {"system font", UIFont::systemFont(10), "Liberation Sans", "Regular", "LiberationSans-Regular"},
      {"HelveticaNeue", UIFont("HelveticaNeue", 12), "Liberation Sans", "Regular", "LiberationSans-Regular"},
      {"HelveticaNeue-CondensedBold", UIFont("HelveticaNeue-CondensedBold", 22), "Liberation Sans Narrow",
       "Bold", "LiberationSansNarrow-Bold"},
      {"an installed family by its own name", UIFont("DejaVu Sans", 10), "DejaVu Sans", "Book",
       "DejaVuSans."},
      {"unknown name falls back to the system face", UIFont("NoSuchFace-Oblique", 14), "Liberation Sans",
       "Regular", "LiberationSans-Regular"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.font.resolvedFamily(), c.family);
    EXPECT_EQ(c.font.resolvedStyle(), c.style);
    EXPECT_NE(c.font.resolvedFile().find(c.file), std::string::npos) << c.font.resolvedFile();
  }
  {
    SCOPED_TRACE("names, sizes and fallback flags");
    const UIFont unknown("NoSuchFace-Oblique", 14);
    EXPECT_TRUE(unknown.isSystemFallback());
    EXPECT_EQ(unknown.fontName(), UIFont::systemFont(14).fontName());
    EXPECT_EQ(unknown.pointSize(), 14);
    EXPECT_FALSE(UIFont("HelveticaNeue-CondensedBold", 10).isSystemFallback());
    EXPECT_EQ(UIFont("HelveticaNeue", 0).pointSize(), UIFont::defaultSize);
    EXPECT_EQ(UIFont::systemFont(std::nan("")).pointSize(), UIFont::defaultSize);
  }
  {
    SCOPED_TRACE("sizes are points = pixels: a 20-point face has a line about 23 points high");
    const UIFont font = UIFont::systemFont(20);
    EXPECT_NEAR(font.lineHeight(), 23, 1.5);
    EXPECT_NEAR(font.ascender() - font.descender(), font.lineHeight(), 1.0);
    EXPECT_GT(font.ascender(), 15);
  }
}

TEST(UIDrawText, MeasuredBlocksGrowByWholeLinesAndStayWithinTheWidth) {
  const NSStringAttributes attributes{UIFont::systemFont(10), std::nullopt, std::nullopt};
  const CGFloat width = 73;
  const CGFloat line =
      NSString("attack").boundingRect({width, INFINITY}, usesLineFragmentOrigin, attributes).height();
  ASSERT_GT(line, 9);
  std::string text;
  CGFloat previous = 0;
  int lines = 0;
  for (const char* word : {"the", "quick", "brown", "fox", "jumps", "over", "the", "lazy", "dog", "again"}) {
    text += (text.empty() ? "" : " ") + std::string(word);
    SCOPED_TRACE(text);
    const CGRect r = NSString(text).boundingRect({width, INFINITY}, usesLineFragmentOrigin, attributes);
    EXPECT_EQ(r.origin, (CGPoint{0, 0}));
    EXPECT_LE(r.width(), width + 1e-9);
    EXPECT_GE(r.height(), previous);
    const double count = r.height() / line;
    EXPECT_NEAR(count, std::round(count), 1e-6) << "a whole number of lines";
    previous = r.height();
    lines = int(std::round(count));
  }
  EXPECT_GE(lines, 3);
  {
    SCOPED_TRACE("unbounded width: one line, wider than the box");
    const CGRect r = NSString(text).boundingRect({INFINITY, INFINITY}, usesLineFragmentOrigin, attributes);
    EXPECT_NEAR(r.height(), line, 1e-9);
    EXPECT_GT(r.width(), width);
    EXPECT_EQ(NSString(text).size(attributes), r.size);
  }
  {
    SCOPED_TRACE("a word longer than the width is broken between characters");
    const CGRect r = NSString("thresholdthresholdthreshold")
                         .boundingRect({40, INFINITY}, usesLineFragmentOrigin, attributes);
    EXPECT_LE(r.width(), 40 + 1e-9);
    EXPECT_GE(r.height(), 2 * line - 1e-9);
  }
  {
    SCOPED_TRACE("without line fragments the origin is the baseline; empty text measures nothing");
    const CGRect r = NSString("gain").boundingRect({width, INFINITY}, 0, attributes);
    EXPECT_LT(r.origin.y, -5);
    EXPECT_NEAR(r.height(), line, 1e-9);
    EXPECT_EQ(NSString("").boundingRect({width, INFINITY}, usesLineFragmentOrigin, attributes), CGRect());
    EXPECT_GT(NSString("ill\xff\xfe-formed").size(attributes).width, 0);
  }
}

TEST(UIDrawText, CachedLayoutsAnswerOnlyTheirOwnKey) {
  TextLayoutCache& cache = TextLayoutCache::shared();
  cache.clear();
  NSParagraphStyle centred;
  centred.alignment = NSTextAlignment::center;
  const NSStringAttributes small{UIFont::systemFont(10), std::nullopt, centred};
  const NSStringAttributes large{UIFont::systemFont(20), std::nullopt, centred};
  const NSString text("release time");
  const CGRect fresh = text.boundingRect({40, INFINITY}, usesLineFragmentOrigin, small);
  EXPECT_EQ(text.boundingRect({40, INFINITY}, usesLineFragmentOrigin, small), fresh);
  EXPECT_EQ(cache.size(), 1u);
  {
    SCOPED_TRACE("another width, size or font is another layout");
    EXPECT_NE(text.boundingRect({400, INFINITY}, usesLineFragmentOrigin, small), fresh);
    EXPECT_NE(text.boundingRect({40, INFINITY}, usesLineFragmentOrigin, large), fresh);
    const NSStringAttributes narrow{UIFont("HelveticaNeue-CondensedBold", 10), std::nullopt, centred};
    EXPECT_LT(text.boundingRect({400, INFINITY}, usesLineFragmentOrigin, narrow).width(),
              text.boundingRect({400, INFINITY}, usesLineFragmentOrigin, small).width());
  }
  {
    SCOPED_TRACE("the cache is bounded, and an evicted layout is made again the same");
    for (int i = 0; i < int(TextLayoutCache::capacity) + 10; ++i)
      NSString(std::to_string(i)).boundingRect({40, INFINITY}, usesLineFragmentOrigin, small);
    EXPECT_EQ(cache.size(), TextLayoutCache::capacity);
    EXPECT_EQ(text.boundingRect({40, INFINITY}, usesLineFragmentOrigin, small), fresh);
  }
}

TEST(UIDrawText, CentredBoxesPlaceTheirInkInTheMiddle) {
  struct Case {
    const char* text;
    const char* font;
    CGFloat size;
    CGRect box;
  } cases[] = {
      {"dual", "HelveticaNeue-CondensedBold", 10, CGRect(3.45, 2.85, 47.5, 20.5)},
      {"audition", "HelveticaNeue", 12, CGRect(3, 3, 80, 32)},
      {"KOV COMPRESSOR", "HelveticaNeue-CondensedBold", 22, CGRect(10, 10, 206, 30)},
      {"threshold release", "HelveticaNeue", 12, CGRect(0, 0, 60, 60)},  // two centred lines
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CGBitmapContext image(c.box.maxX() + 10, c.box.maxY() + 10, 2);
    UIGraphicsContextScope scope(&image.context());
    drawCentred(image.context(), c.text, c.box, UIFont(c.font, c.size));
    const CGRect ink = inkBounds(image);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.midX(), c.box.midX(), 0.75);
    EXPECT_NEAR(ink.midY(), c.box.midY(), 2.5);  // ink is not symmetric about the line box
    EXPECT_GE(ink.minX(), c.box.minX());
    EXPECT_LE(ink.maxX(), c.box.maxX());
  }
  {
    SCOPED_TRACE("each wrapped line is centred on its own: the short second line is indented");
    CGBitmapContext wide(60, 60, 2), shortLine(60, 60, 2);
    {
      UIGraphicsContextScope scope(&wide.context());
      drawCentred(wide.context(), "threshold", CGRect(0, 0, 60, 60), UIFont("HelveticaNeue", 12));
    }
    {
      UIGraphicsContextScope scope(&shortLine.context());
      drawCentred(shortLine.context(), "threshold mix", CGRect(0, 0, 60, 60), UIFont("HelveticaNeue", 12));
    }
    const CGRect one = inkBounds(wide), two = inkBounds(shortLine);
    EXPECT_GT(two.height(), one.height() * 1.8);
    EXPECT_NEAR(two.minX(), one.minX(), 0.75) << "the widest line sets the block's left edge";
  }
}

TEST(UIDrawText, LayoutIsTheSameAtEveryScale) {
  const CGRect box(3, 3, 80, 32);
  const UIFont font("HelveticaNeue", 12);
  const std::string label = "audition monitor";
  CGRect reference;
  {
    CGBitmapContext image(100, 50, 1);
    UIGraphicsContextScope scope(&image.context());
    drawCentred(image.context(), label, box, font);
    reference = inkBounds(image);
  }
  {
    SCOPED_TRACE("image scale 2 and a context scaled by 2 agree with scale 1 (in points)");
    for (bool contextScale : {false, true}) {
      CGBitmapContext image(contextScale ? 200 : 100, contextScale ? 100 : 50, contextScale ? 1 : 2);
      UIGraphicsContextScope scope(&image.context());
      if (contextScale)
        image.context().scaleBy(2, 2);
      drawCentred(image.context(), label, box, font);
      CGRect ink = inkBounds(image);
      if (contextScale)
        ink = ink.applying(CGAffineTransform::makeScale(0.5, 0.5));
      EXPECT_NEAR(ink.minX(), reference.minX(), 1.0);
      EXPECT_NEAR(ink.maxX(), reference.maxX(), 1.0);
      EXPECT_NEAR(ink.minY(), reference.minY(), 1.0);
      EXPECT_NEAR(ink.maxY(), reference.maxY(), 1.0);
    }
  }
  {
    SCOPED_TRACE("non-uniform stretch (80/86 x 32/38) maps the unstretched ink");
    const CGFloat sx = 80.0 / 86.0, sy = 32.0 / 38.0;
    CGBitmapContext image(100, 50, 4);
    UIGraphicsContextScope scope(&image.context());
    image.context().scaleBy(sx, sy);
    drawCentred(image.context(), label, box, font);
    const CGRect ink = inkBounds(image);
    const CGRect expected = reference.applying(CGAffineTransform::makeScale(sx, sy));
    EXPECT_NEAR(ink.midX(), expected.midX(), 0.75);
    EXPECT_NEAR(ink.width(), expected.width(), 1.5);
    EXPECT_NEAR(ink.height(), expected.height(), 1.5);
  }
}

TEST(UIDrawText, LinesThatDoNotFitAreLeftOutAndDegenerateBoxesAreHarmless) {
  const NSStringAttributes attributes{UIFont::systemFont(10), std::nullopt, std::nullopt};
  const std::string text = "one two three four five six";
  const CGFloat line =
      NSString("one").boundingRect({30, INFINITY}, usesLineFragmentOrigin, attributes).height();
  CGRect full, partial;
  {
    CGBitmapContext image(60, 100);
    UIGraphicsContextScope scope(&image.context());
    NSString(text).draw(CGRect(0, 0, 30, INFINITY), attributes);
    full = inkBounds(image);
  }
  {
    CGBitmapContext image(60, 100);
    UIGraphicsContextScope scope(&image.context());
    NSString(text).draw(CGRect(0, 0, 30, line * 1.5), attributes);
    partial = inkBounds(image);
  }
  EXPECT_GT(full.maxY(), 2 * line);
  EXPECT_LE(partial.maxY(), line + 1) << "only the first line fits in one and a half lines";
  EXPECT_GT(partial.height(), 0);
  {
    SCOPED_TRACE("non-finite boxes and degenerate contexts draw nothing");
    CGBitmapContext image(60, 40);
    UIGraphicsContextScope scope(&image.context());
    NSString(text).draw(CGRect(std::nan(""), 0, 30, 30), attributes);
    image.context().saveGState();
    image.context().scaleBy(0, 0);
    NSString(text).draw(CGRect(0, 0, 30, 30), attributes);
    image.context().restoreGState();
    EXPECT_TRUE(inkBounds(image).isEmpty());
    EXPECT_TRUE(image.context().isDrawable());
  }
}

}  // namespace
