// The drawing context: a thin layer over a Cairo context (`cairo_t`) with its own graphics
// state — transform, clip, line width, caps, joins (miter limit 10), dash,
// separate fill and stroke colours — saved and restored together. [main]
//
// Unsafe input never reaches Cairo: a transform that would make the matrix non-invertible (scale
// 0, non-finite values) or an unbalanced restore would put the `cairo_t` into a permanent error
// state. Instead such a transform marks the context as degenerate until the matching
// `restoreGState()`, and while degenerate every drawing call does nothing.
//
// For tests, a context can also record every call made on it, as text lines in call order
// ("saveGState", "translateBy(10, 20)", "strokePath", ...), which checks drawing code without
// depending on fonts or rasterisation.
#pragma once

#include <string>
#include <vector>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGGeometry.h"
#include "CoreGraphics/CGPath.h"

typedef struct _cairo cairo_t;

enum class CGLineCap { butt, round, square };
enum class CGLineJoin { miter, round, bevel };

class CGContext {
 public:
  // Wraps, does not own, the Cairo context. The context's current state becomes the base state.
  explicit CGContext(cairo_t* cairo);
  ~CGContext();
  CGContext(const CGContext&) = delete;
  CGContext& operator=(const CGContext&) = delete;

  cairo_t* cairo() const { return cairo_; }

  // Save and restore the whole graphics state; a restore without a save does nothing.
  void saveGState();
  void restoreGState();
  int gStateDepth() const { return int(stack_.size()) - 1; }

  // Transform the user space; angles in radians, positive turns clockwise on screen (y down).
  void translateBy(CGFloat x, CGFloat y);
  void scaleBy(CGFloat x, CGFloat y);
  void rotate(CGFloat by);
  // The current transform from user space to the device (pixels of the target).
  CGAffineTransform ctm() const;
  // False while a degenerate transform is in force or the Cairo context is in error.
  bool isDrawable() const;

  // Intersects the clip with a rectangle in user space.
  void clip(const CGRect& rect);
  // Intersects the clip with the current path (non-zero or even-odd), and clears the path.
  void clip(CGPathFillRule rule = CGPathFillRule::winding);

  void setLineWidth(CGFloat width);
  void setLineCap(CGLineCap cap);
  void setLineJoin(CGLineJoin join);
  void setMiterLimit(CGFloat limit);
  // Dash in user units; an empty list (or one of only zeros) means solid lines.
  void setLineDash(CGFloat phase, const std::vector<CGFloat>& lengths);
  // Alpha applied to everything drawn afterwards, 0...1.
  void setAlpha(CGFloat alpha);

  void setFillColor(const CGColor& color);
  void setFillColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    setFillColor({red, green, blue, alpha});
  }
  void setStrokeColor(const CGColor& color);
  void setStrokeColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    setStrokeColor({red, green, blue, alpha});
  }
  CGColor fillColor() const { return stack_.back().fill; }
  CGColor strokeColor() const { return stack_.back().stroke; }

  // The current path, in user space at the time each element is added.
  void beginPath();
  void move(CGPoint to);
  void addLine(CGPoint to);
  void addCurve(CGPoint to, CGPoint control1, CGPoint control2);
  void closePath();
  void addRect(const CGRect& rect);
  void addEllipse(const CGRect& rect);
  void addPath(const CGPath& path);
  // Paint and clear the current path.
  void fillPath(CGPathFillRule rule = CGPathFillRule::winding);
  void strokePath();

  // Whole shapes, leaving the current path empty.
  void fill(const CGRect& rect);
  void stroke(const CGRect& rect);
  // Makes the rectangle fully transparent (ignores colours and alpha, honours the clip).
  void clear(const CGRect& rect);

  // Sets the Cairo source to the fill or stroke colour, or to a colour of one's own, with the
  // context's alpha applied (for text and other direct Cairo drawing).
  void applyFillColor() { applyColor(stack_.back().fill); }
  void applyStrokeColor() { applyColor(stack_.back().stroke); }
  void applyColor(const CGColor& color);

  // Starts (or with null, stops) recording calls into `lines`, which must outlive the recording.
  void record(std::vector<std::string>* lines) { recording_ = lines; }
  bool isRecording() const { return recording_ != nullptr; }
  // Adds a line to the recording (used by the text drawing above this layer).
  void note(std::string line) {
    if (recording_)
      recording_->push_back(std::move(line));
  }

 private:
  struct State {
    CGColor fill{0, 0, 0, 1};
    CGColor stroke{0, 0, 0, 1};
    CGFloat alpha = 1;
    bool degenerate = false;
  };
  // Adds a path point in user space; false (and the path marked unusable) when it is not finite
  // or lies beyond the range of Cairo's fixed-point device coordinates.
  bool acceptPoint(CGPoint p);
  void endPath();
  void applyTransform(const CGAffineTransform& transform);
  void log(const char* format, ...) __attribute__((format(printf, 2, 3)));

  cairo_t* cairo_;
  std::vector<State> stack_;
  bool pathBroken_ = false;
  std::vector<std::string>* recording_ = nullptr;
};
