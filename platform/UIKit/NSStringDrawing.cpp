#include "UIKit/NSStringDrawing.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <climits>
#include <cmath>
#include <cstdio>

#include "UIKit/UIGraphics.h"
#include "UIKit/internal/FontConfiguration.h"
#include "UIKit/internal/TextLayoutCache.h"

namespace {

constexpr CGFloat kUnbounded = INFINITY;
// Slack for "the line fits": a height measured by this code and handed back must always fit.
constexpr CGFloat kFitTolerance = 1.0 / 64;

// Text Pango accepts: cut at an embedded NUL (Pango's own end marker), ill-formed UTF-8 replaced
// by U+FFFD instead of being refused with a warning.
std::string layoutText(const std::string& text) {
  std::string clean(text.c_str());
  if (!g_utf8_validate(clean.data(), gssize(clean.size()), nullptr)) {
    gchar* valid = g_utf8_make_valid(clean.data(), gssize(clean.size()));
    clean = valid;
    g_free(valid);
  }
  return clean;
}

// A width in Pango units, or -1 (no wrapping) for anything but a positive finite width that fits.
int layoutWidth(CGFloat width) {
  if (!(width > 0) || !std::isfinite(width) || width * PANGO_SCALE >= CGFloat(INT_MAX))
    return -1;
  return int(std::lround(width * PANGO_SCALE));
}

// The layout of the text with the attributes, wrapped at `width` (kUnbounded: one line per
// paragraph). Borrowed from the layout cache: valid until the next layout is made.
PangoLayout* makeLayout(const std::string& text, const NSStringAttributes& attributes, CGFloat width) {
  const UIFont font = attributes.font.value_or(UIFont::systemFont(UIFont::defaultSize));
  const NSParagraphStyle style = attributes.paragraphStyle.value_or(NSParagraphStyle());
  const bool wraps = style.lineBreakMode != NSLineBreakMode::byClipping;
  TextLayoutCache::Key key{text,
                           font.familyName(),
                           font.pointSize(),
                           int(style.alignment),
                           int(style.lineBreakMode),
                           wraps ? layoutWidth(width) : -1};
  TextLayoutCache& cache = TextLayoutCache::shared();
  if (PangoLayout* cached = cache.find(key))
    return cached;

  PangoLayout* layout = pango_layout_new(FontConfiguration::pangoContext());
  const std::string clean = layoutText(text);
  pango_layout_set_text(layout, clean.data(), int(clean.size()));
  PangoFontDescription* description = font.makePangoDescription();
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  pango_layout_set_width(layout, key.width);
  // Word wrapping breaks a word that is longer than a whole line between characters rather than
  // letting it overflow.
  pango_layout_set_wrap(layout, style.lineBreakMode == NSLineBreakMode::byCharWrapping
                                    ? PANGO_WRAP_CHAR
                                    : PANGO_WRAP_WORD_CHAR);
  switch (style.alignment) {
    case NSTextAlignment::center:
      pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
      break;
    case NSTextAlignment::right:
      pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
      break;
    case NSTextAlignment::justified:
      pango_layout_set_justify(layout, TRUE);
      break;
    case NSTextAlignment::left:
    case NSTextAlignment::natural:
      pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
      break;
  }
  return cache.insert(std::move(key), layout);
}

CGRect logicalExtents(PangoLayout* layout) {
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  return CGRect(CGFloat(logical.x) / PANGO_SCALE, CGFloat(logical.y) / PANGO_SCALE,
                CGFloat(logical.width) / PANGO_SCALE, CGFloat(logical.height) / PANGO_SCALE);
}

// Horizontal shift of an unwrapped (clipping) layout so that its block sits in a box of `width`
// as the alignment asks; wrapped layouts are aligned by Pango itself.
CGFloat clippedLineShift(PangoLayout* layout, const NSStringAttributes& attributes, CGFloat width) {
  const NSParagraphStyle style = attributes.paragraphStyle.value_or(NSParagraphStyle());
  if (style.lineBreakMode != NSLineBreakMode::byClipping || !(width > 0) || !std::isfinite(width))
    return 0;
  const CGFloat used = logicalExtents(layout).width();
  switch (style.alignment) {
    case NSTextAlignment::center:
      return (width - used) / 2;
    case NSTextAlignment::right:
      return width - used;
    default:
      return 0;
  }
}

// Shows the lines of the layout whose logical box ends within `limit` below the layout's top;
// the first line always.
void showFittingLines(cairo_t* cr, PangoLayout* layout, CGFloat x, CGFloat y, CGFloat limit) {
  if (logicalExtents(layout).height() <= limit + kFitTolerance) {
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
    return;
  }
  PangoLayoutIter* iter = pango_layout_get_iter(layout);
  bool first = true;
  do {
    PangoRectangle logical;
    pango_layout_iter_get_line_extents(iter, nullptr, &logical);
    const CGFloat bottom = CGFloat(logical.y + logical.height) / PANGO_SCALE;
    if (!first && bottom > limit + kFitTolerance)
      break;
    first = false;
    const CGFloat baseline = CGFloat(pango_layout_iter_get_baseline(iter)) / PANGO_SCALE;
    cairo_move_to(cr, x + CGFloat(logical.x) / PANGO_SCALE, y + baseline);
    pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(iter));
  } while (pango_layout_iter_next_line(iter));
  pango_layout_iter_free(iter);
}

const char* alignmentName(const NSStringAttributes& attributes) {
  switch (attributes.paragraphStyle.value_or(NSParagraphStyle()).alignment) {
    case NSTextAlignment::left:
      return "left";
    case NSTextAlignment::center:
      return "center";
    case NSTextAlignment::right:
      return "right";
    case NSTextAlignment::justified:
      return "justified";
    case NSTextAlignment::natural:
      break;
  }
  return "natural";
}

// The recorded line of a text drawing call.
void noteDrawing(CGContext& context, const std::string& text, const char* place,
                 const NSStringAttributes& attributes) {
  if (!context.isRecording())
    return;
  const UIFont font = attributes.font.value_or(UIFont::systemFont(UIFont::defaultSize));
  const CGColor color = attributes.foregroundColor.value_or(UIColor::black()).cgColor();
  char line[512];
  snprintf(line, sizeof line, "draw(\"%s\", %s, font: %s %g, color: (%g, %g, %g, %g), alignment: %s)",
           text.c_str(), place, font.fontName().c_str(), font.pointSize(), color.red, color.green, color.blue,
           color.alpha, alignmentName(attributes));
  context.note(line);
}

bool isFinite(const CGRect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && !std::isnan(r.size.width) &&
         !std::isnan(r.size.height);
}

}  // namespace

CGRect NSString::boundingRect(CGSize with, unsigned options, const NSStringAttributes& attributes,
                              NSStringDrawingContext*) const {
  if (text_.empty())
    return CGRect();
  const bool lineFragments = (options & usesLineFragmentOrigin) != 0;
  PangoLayout* layout = makeLayout(text_, attributes, lineFragments ? with.width : kUnbounded);
  const CGRect logical = logicalExtents(layout);
  CGRect result(0, 0, logical.width(), logical.height());
  if (!lineFragments) {
    // One line whose baseline is the origin: the box starts one ascent above it.
    result.origin.y = -CGFloat(pango_layout_get_baseline(layout)) / PANGO_SCALE;
  }
  return result;
}

CGSize NSString::size(const NSStringAttributes& withAttributes) const {
  if (text_.empty())
    return CGSize();
  PangoLayout* layout = makeLayout(text_, withAttributes, kUnbounded);
  const CGRect logical = logicalExtents(layout);
  return CGSize{logical.width(), logical.height()};
}

void NSString::draw(const CGRect& in, const NSStringAttributes& withAttributes) const {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context && context->isRecording()) {
    char place[128];
    snprintf(place, sizeof place, "in: (%g, %g, %g, %g)", in.origin.x, in.origin.y, in.size.width,
             in.size.height);
    noteDrawing(*context, text_, place, withAttributes);
  }
  if (!context || !context->isDrawable() || text_.empty() || !isFinite(in))
    return;
  PangoLayout* layout = makeLayout(text_, withAttributes, in.size.width);
  cairo_t* cr = context->cairo();
  cairo_save(cr);
  cairo_new_path(cr);
  context->applyColor(withAttributes.foregroundColor.value_or(UIColor::black()).cgColor());
  const CGFloat limit = in.size.height > 0 ? in.size.height : kUnbounded;
  showFittingLines(cr, layout, in.origin.x + clippedLineShift(layout, withAttributes, in.size.width),
                   in.origin.y, limit);
  cairo_new_path(cr);
  cairo_restore(cr);
}

void NSString::draw(CGPoint at, const NSStringAttributes& withAttributes) const {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context && context->isRecording()) {
    char place[64];
    snprintf(place, sizeof place, "at: (%g, %g)", at.x, at.y);
    noteDrawing(*context, text_, place, withAttributes);
  }
  if (!context || !context->isDrawable() || text_.empty() || !std::isfinite(at.x) || !std::isfinite(at.y))
    return;
  PangoLayout* layout = makeLayout(text_, withAttributes, kUnbounded);
  cairo_t* cr = context->cairo();
  cairo_save(cr);
  cairo_new_path(cr);
  context->applyColor(withAttributes.foregroundColor.value_or(UIColor::black()).cgColor());
  cairo_move_to(cr, at.x, at.y);
  pango_cairo_show_layout(cr, layout);
  cairo_new_path(cr);
  cairo_restore(cr);
}
