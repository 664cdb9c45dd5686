// Views as plain objects: a frame in the superview's coordinates, bounds in their own, a tree of
// subviews, and edge anchors with equality constraints.
//
// Layout here is no general constraint solver. It keeps a view's edges equal to edges of its
// superview (top, bottom, leading, trailing, left, right; multiplier 1, any constant): an active
// constraint of that form is applied at once when it is activated and again every time the
// superview's bounds change, so a pinned view follows its superview. Other constraints are kept
// and reported as active but do not move anything. Leading and trailing follow the view's layout
// direction (left-to-right unless its semantic content attribute forces right-to-left).
//
// Views are held by std::shared_ptr (the superview holds its subviews; a view knows its
// superview weakly). All members belong to the main thread. [main]
#pragma once

#include <memory>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

class UIView;
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
                     std::weak_ptr<UIView> secondItem, NSLayoutAttribute secondAttribute,
                     CGFloat multiplier, CGFloat constant);

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

class UIView : public std::enable_shared_from_this<UIView> {
 public:
  static std::shared_ptr<UIView> make(CGRect frame = CGRect());
  virtual ~UIView();
  UIView(const UIView&) = delete;
  UIView& operator=(const UIView&) = delete;

  // The frame in the superview's coordinates; setting it sets the bounds' size as well.
  CGRect frame() const { return frame_; }
  void setFrame(const CGRect& frame);
  // The view's own coordinate system: origin (0, 0) unless set, size of the frame.
  CGRect bounds() const { return bounds_; }
  void setBounds(const CGRect& bounds);

  std::shared_ptr<UIView> superview() const { return superview_.lock(); }
  const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
  // Moves the view into this one (out of its old superview first), on top of the others.
  void addSubview(const std::shared_ptr<UIView>& view);
  // Also deactivates the constraints that tie this view's subtree to views outside it.
  void removeFromSuperview();
  bool isDescendant(const UIView& of) const;

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

  UISemanticContentAttribute semanticContentAttribute() const { return semanticContentAttribute_; }
  void setSemanticContentAttribute(UISemanticContentAttribute attribute);
  UIUserInterfaceLayoutDirection effectiveUserInterfaceLayoutDirection() const;

  // Applies the edge constraints this view holds to its subviews. [main]
  void layoutIfNeeded();

 protected:
  explicit UIView(CGRect frame);

 private:
  friend class NSLayoutConstraint;
  void boundsDidChange(const CGRect& old);

  CGRect frame_;
  CGRect bounds_;
  std::weak_ptr<UIView> superview_;
  std::vector<std::shared_ptr<UIView>> subviews_;
  std::vector<std::shared_ptr<NSLayoutConstraint>> constraints_;
  bool translatesAutoresizingMask_ = true;
  UISemanticContentAttribute semanticContentAttribute_ = UISemanticContentAttribute::unspecified;
  bool inLayout_ = false;
};

template <bool Horizontal>
std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor<Horizontal>::constraint(const NSLayoutAnchor& equalTo,
                                                                           CGFloat constant) const {
  return std::make_shared<NSLayoutConstraint>(item_, attribute_, equalTo.item_, equalTo.attribute_, 1.0, constant);
}
