// Views: rectangles in a tree that draw themselves, take touches and lay out their subviews.
//
// Geometry. A view has a frame in its superview's coordinates, bounds in its own (origin (0, 0)
// unless set, size of the frame), and a transform applied about the centre of its frame (the
// anchor point), so a scale leaves the centre where it is. `frame` reads the untransformed
// rectangle; set the transform after the frame (a frame set later is taken as untransformed).
//
// Drawing. `setNeedsDisplay()` only marks the view; its window gathers the marks and runs one
// display pass per display refresh, in which each marked view's `draw(_:)` runs once, always for
// its whole bounds, with a current graphics context (UIGraphicsGetCurrentContext()). Every view
// keeps what it drew in a backing surface of its own, so a view that was not marked is only
// composited again, never redrawn. A view marked for a part of its bounds only
// (`setNeedsDisplay(_ rect:)`) still draws its whole bounds, but clipped to that part, rounded
// out to whole pixels: only that part of its backing is replaced and composited again. A change of the
// bounds' size marks the view (content is redrawn, never stretched). Alpha applies to the whole subtree as
// one group; `clipsToBounds` clips the subviews. A hidden view draws nothing, nor do its subviews.
//
// Degenerate geometry (a zero, negative or non-finite size, a non-finite origin, a transform that
// cannot be inverted, e.g. a scale of 0) never reaches Cairo: such a view draws nothing and takes
// no touches, and neither do its subviews.
//
// Touches. Hit testing finds the deepest view under a point; hidden views, views with alpha below
// 0.01 and views with user interaction off take no touches, nor do their subviews. The view then
// gets the four touch handlers (UIResponder), and its gesture recognisers and those of its
// ancestors see the same touches first (UIGestureRecognizer).
//
// Layout is no general constraint solver. It keeps a view's edges equal to edges of its
// superview (top, bottom, leading, trailing, left, right; multiplier 1, any constant): an active
// constraint of that form is applied at once when it is activated and again every time the
// superview's bounds change, so a pinned view follows its superview. Other constraints are kept
// and reported as active but do not move anything. Leading and trailing follow the view's layout
// direction (left-to-right unless its semantic content attribute forces right-to-left).
// A layout pass of a view runs `layoutSubviews()` (which applies those constraints) and then tells
// the controller that owns the view (`viewDidLayoutSubviews`). A pass runs at once when the
// bounds change or a constraint is applied, and for views marked with `setNeedsLayout()` at the
// next `layoutIfNeeded()` or before the window's next display pass.
//
// Views are held by std::shared_ptr (the superview holds its subviews; a view knows its
// superview weakly). All members belong to the main thread. [main]
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIResponder.h"

class UIView;
class UIWindow;
class UIGestureRecognizer;
class NSLayoutConstraint;

enum class NSLayoutAttribute { left, right, top, bottom, leading, trailing };

enum class UISemanticContentAttribute { unspecified, forceLeftToRight, forceRightToLeft };
enum class UIUserInterfaceLayoutDirection { leftToRight, rightToLeft };

// An edge of a view that constraints relate. Horizontal and vertical anchors are distinct types,
// so an x edge can never be tied to a y edge.
template <bool Horizontal>
class NSLayoutAnchor {
 public:
  NSLayoutAnchor(std::weak_ptr<UIView> item, NSLayoutAttribute attribute)
      : item_(std::move(item)), attribute_(attribute) {}
  // self == equalTo + constant, multiplier 1; inactive until activated. [main]
  std::shared_ptr<NSLayoutConstraint> constraint(const NSLayoutAnchor& equalTo, CGFloat constant = 0) const;

  std::shared_ptr<UIView> item() const { return item_.lock(); }
  NSLayoutAttribute attribute() const { return attribute_; }

 private:
  std::weak_ptr<UIView> item_;
  NSLayoutAttribute attribute_;
};
using NSLayoutXAxisAnchor = NSLayoutAnchor<true>;
using NSLayoutYAxisAnchor = NSLayoutAnchor<false>;

// firstItem.firstAttribute == secondItem.secondAttribute * multiplier + constant.
class NSLayoutConstraint : public std::enable_shared_from_this<NSLayoutConstraint> {
 public:
  NSLayoutConstraint(std::weak_ptr<UIView> firstItem, NSLayoutAttribute firstAttribute,
                     std::weak_ptr<UIView> secondItem, NSLayoutAttribute secondAttribute, CGFloat multiplier,
                     CGFloat constant);

  // Activates all of them, then lays out once. [main]
  static void activate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
  static void deactivate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);

  bool isActive() const { return active_; }
  // Activating needs both items alive and in one view tree; otherwise it stays inactive.
  void setActive(bool active);

  std::shared_ptr<UIView> firstItem() const { return firstItem_.lock(); }
  std::shared_ptr<UIView> secondItem() const { return secondItem_.lock(); }
  NSLayoutAttribute firstAttribute() const { return firstAttribute_; }
  NSLayoutAttribute secondAttribute() const { return secondAttribute_; }
  CGFloat multiplier() const { return multiplier_; }
  CGFloat constant() const { return constant_; }
  // Changing the constant of an active constraint lays out again.
  void setConstant(CGFloat constant);

 private:
  friend class UIView;
  bool activateWithoutLayout();
  void deactivateWithoutLayout();

  std::weak_ptr<UIView> firstItem_;
  NSLayoutAttribute firstAttribute_;
  std::weak_ptr<UIView> secondItem_;
  NSLayoutAttribute secondAttribute_;
  CGFloat multiplier_;
  CGFloat constant_;
  bool active_ = false;
  std::weak_ptr<UIView> owner_;  // the view that holds it while active
};

// The controller that owns a view as its root view, as the view sees it: told after each layout
// pass of the view, and the view's next responder. UIViewController implements it and sets itself
// on the view it loads (setViewOwner), clearing it before it goes. Not owned by the view.
class UIViewOwner {
 public:
  virtual void viewDidLayoutSubviews() = 0;
  // The owner in the responder chain (the controller itself).
  virtual UIResponder* ownerResponder() = 0;

 protected:
  ~UIViewOwner() = default;
};

class UIView : public UIResponder, public std::enable_shared_from_this<UIView> {
 public:
  static std::shared_ptr<UIView> make(CGRect frame = CGRect());
  ~UIView() override;

  // ---- geometry

  // The frame in the superview's coordinates; setting it sets the bounds' size as well.
  CGRect frame() const { return frame_; }
  void setFrame(const CGRect& frame);
  // The view's own coordinate system: origin (0, 0) unless set, size of the frame.
  CGRect bounds() const { return bounds_; }
  void setBounds(const CGRect& bounds);
  // The centre of the frame, in the superview's coordinates.
  CGPoint center() const;
  void setCenter(CGPoint center);
  // Applied about the centre of the frame; identity unless set.
  const CGAffineTransform& transform() const { return transform_; }
  void setTransform(const CGAffineTransform& transform);

  // A point or rectangle in this view's coordinates, in `to`'s (the window's for null). A rectangle
  // comes back as the bounding box of its transformed corners. [main]
  CGPoint convert(CGPoint point, const UIView* to) const;
  CGRect convert(const CGRect& rect, const UIView* to) const;
  // From `from`'s coordinates (the window's for null) into this view's.
  CGPoint convertFrom(CGPoint point, const UIView* from) const;
  CGRect convertFrom(const CGRect& rect, const UIView* from) const;

  // ---- appearance

  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  // 0...1 (other values are clamped); the subtree is composited as one group with this opacity.
  CGFloat alpha() const { return alpha_; }
  void setAlpha(CGFloat alpha);
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool clips);
  // Filled under what draw(_:) draws; none (transparent) unless set.
  const std::optional<UIColor>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::optional<UIColor> color);
  // A hint only: the view promises to fill its bounds. Drawing is the same either way.
  void setOpaque(bool opaque) { opaque_ = opaque; }
  // Any string that names the view in test output; empty unless set.
  void setAccessibilityIdentifier(std::string identifier) { identifier_ = std::move(identifier); }
  int tag() const { return tag_; }

  // ---- tree

  std::shared_ptr<UIView> superview() const { return superview_.lock(); }
  // The window the view is in, or null.
  std::shared_ptr<UIWindow> window() const;
  // Back to front.
  const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
  // Moves the view into this one (out of its old superview first), on top of the others.
  void addSubview(const std::shared_ptr<UIView>& view);
  // At `index` in the subviews (clamped to the end), behind those after it.
  void insertSubview(const std::shared_ptr<UIView>& view, std::size_t index);
  void insertSubview(const std::shared_ptr<UIView>& view, const UIView& belowSubview);
  // Also deactivates the constraints that tie this view's subtree to views outside it.
  void removeFromSuperview();
  bool isDescendant(const UIView& of) const;

  // Called after the view entered or left a superview / window.
  virtual void didMoveToSuperview() {}
  virtual void didMoveToWindow() {}

  // ---- drawing

  // Marks the whole view for redrawing in the window's next display pass. [main]
  void setNeedsDisplay();
  // Marks the part `rect` (own coordinates, cut to the bounds) for redrawing; marks gather as
  // their union, and a whole-view mark covers them. An empty part marks nothing; a non-finite one
  // marks the whole view. [main]
  void setNeedsDisplay(const CGRect& rect);
  bool needsDisplay() const { return needsDisplay_; }
  // The marked part when only a part is marked (the bounding box of the marks); nothing when the
  // whole view is (or none).
  std::optional<CGRect> needsDisplayPart() const;
  // The marks themselves while only parts are marked: overlapping ones merged into their bounding
  // box, and all of them into one once there are more than maxDisplayParts. Empty otherwise.
  static constexpr std::size_t maxDisplayParts = 4;
  const std::vector<CGRect>& needsDisplayParts() const { return displayParts_; }
  // Draws the view's content in its own coordinates; `rect` is always the whole bounds. A
  // graphics context is current (UIGraphicsGetCurrentContext()); the background colour is already
  // filled. The default draws nothing. [main]
  virtual void draw(const CGRect& rect);

  // ---- layout

  // Marks the view for a layout pass at the next layoutIfNeeded() or display pass. [main]
  void setNeedsLayout();
  // Runs the layout passes that are due, in this view and below it, top down. [main]
  void layoutIfNeeded();
  // Lays out the subviews; the default applies the edge constraints this view holds. Overrides
  // call the base first when they keep pinned subviews. [main]
  virtual void layoutSubviews();

  bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizingMask_; }
  void setTranslatesAutoresizingMaskIntoConstraints(bool value) { translatesAutoresizingMask_ = value; }

  NSLayoutYAxisAnchor topAnchor() { return {weak_from_this(), NSLayoutAttribute::top}; }
  NSLayoutYAxisAnchor bottomAnchor() { return {weak_from_this(), NSLayoutAttribute::bottom}; }
  NSLayoutXAxisAnchor leadingAnchor() { return {weak_from_this(), NSLayoutAttribute::leading}; }
  NSLayoutXAxisAnchor trailingAnchor() { return {weak_from_this(), NSLayoutAttribute::trailing}; }
  NSLayoutXAxisAnchor leftAnchor() { return {weak_from_this(), NSLayoutAttribute::left}; }
  NSLayoutXAxisAnchor rightAnchor() { return {weak_from_this(), NSLayoutAttribute::right}; }

  // The active constraints this view holds (those between it and its subviews).
  const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints() const { return constraints_; }

  void setSemanticContentAttribute(UISemanticContentAttribute attribute);
  UIUserInterfaceLayoutDirection effectiveUserInterfaceLayoutDirection() const;

  // The controller that owns this view as its root view (see UIViewOwner); null if none.
  UIViewOwner* viewOwner() const { return owner_; }
  void setViewOwner(UIViewOwner* owner) { owner_ = owner; }

  // ---- touches

  void setUserInteractionEnabled(bool enabled) { userInteraction_ = enabled; }
  // Off by default: the view is given only the first of several touches at once.
  bool isMultipleTouchEnabled() const { return multipleTouch_; }
  void setMultipleTouchEnabled(bool enabled) { multipleTouch_ = enabled; }
  // The deepest visible, interactive view under `point` (in this view's coordinates), front to
  // back; null when the point is outside or this view takes no touches. [main]
  virtual std::shared_ptr<UIView> hitTest(CGPoint point, const UIEvent* event);
  // Whether `point` (own coordinates) lies in the bounds, half-open: [minX, maxX) x [minY, maxY).
  virtual bool pointInside(CGPoint point, const UIEvent* event) const;

  // The owning controller, else the superview.
  UIResponder* next() const override;

  // ---- gesture recognisers

  // The view keeps the recogniser; it sees the touches of this view and of its subviews. [main]
  void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
  void removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
  const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const { return recognizers_; }

  // ---- for the window's display pass

  // Whether the view shows anything: not hidden, alpha at least 0.01 and usable geometry (a
  // positive, finite size, a finite place and an invertible transform).
  bool isDrawable() const;
  // The transform from this view's coordinates into its superview's, or nothing when the
  // geometry is degenerate (non-finite, or a transform that cannot be inverted).
  std::optional<CGAffineTransform> transformToSuperview() const;
  struct Backing;
  Backing* backing() const { return backing_.get(); }
  Backing& ensureBacking();
  void clearNeedsDisplay() {
    needsDisplay_ = false;
    displayParts_.clear();
  }
  void countDraw() { ++drawCount_; }

 protected:
  explicit UIView(CGRect frame);

 private:
  friend class NSLayoutConstraint;
  friend class UIWindow;
  // Test-only entry points (UIKit/testing/UIKitTesting.h, in platform_uikit_testing) read how
  // many times draw(_:) ran.
  friend struct UIViewTesting;
  void boundsDidChange(const CGRect& old);
  void geometryDidChange();
  void applyEdgeConstraints();
  void runLayoutPass();
  void setWindowRecursive(const std::weak_ptr<UIWindow>& window);
  void attach(const std::shared_ptr<UIView>& view, std::size_t index);

  CGRect frame_;
  CGRect bounds_;
  CGAffineTransform transform_ = CGAffineTransform::identity();
  std::weak_ptr<UIView> superview_;
  std::weak_ptr<UIWindow> window_;
  std::vector<std::shared_ptr<UIView>> subviews_;
  std::vector<std::shared_ptr<NSLayoutConstraint>> constraints_;
  std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
  std::optional<UIColor> backgroundColor_;
  std::vector<CGRect> displayParts_;  // set while only parts are marked
  std::unique_ptr<Backing> backing_;
  UIViewOwner* owner_ = nullptr;
  std::string identifier_;
  std::uint64_t drawCount_ = 0;
  CGFloat alpha_ = 1;
  int tag_ = 0;
  bool hidden_ = false;
  bool clipsToBounds_ = false;
  bool opaque_ = true;
  bool userInteraction_ = true;
  bool multipleTouch_ = false;
  bool needsDisplay_ = true;
  bool needsLayout_ = true;
  bool translatesAutoresizingMask_ = true;
  UISemanticContentAttribute semanticContentAttribute_ = UISemanticContentAttribute::unspecified;
  bool inLayout_ = false;
};

template <bool Horizontal>
std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor<Horizontal>::constraint(const NSLayoutAnchor& equalTo,
                                                                           CGFloat constant) const {
  return std::make_shared<NSLayoutConstraint>(item_, attribute_, equalTo.item_, equalTo.attribute_, 1.0,
                                              constant);
}
