#include "UIKit/UIView.h"

#include <cmath>

#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIWindow.h"
#include "UIKit/backend/ViewBacking.h"

#include <algorithm>
#include <optional>
#include <set>

// ---- constraints ---------------------------------------------------------------------------

NSLayoutConstraint::NSLayoutConstraint(std::weak_ptr<UIView> firstItem, NSLayoutAttribute firstAttribute,
                                       std::weak_ptr<UIView> secondItem, NSLayoutAttribute secondAttribute,
                                       CGFloat multiplier, CGFloat constant)
    : firstItem_(std::move(firstItem)),
      firstAttribute_(firstAttribute),
      secondItem_(std::move(secondItem)),
      secondAttribute_(secondAttribute),
      multiplier_(multiplier),
      constant_(constant) {}

namespace {

// The nearest view that both are in (either one itself included); null when they share no tree.
std::shared_ptr<UIView> commonAncestor(const std::shared_ptr<UIView>& a, const std::shared_ptr<UIView>& b) {
  std::set<const UIView*> ancestorsOfA;
  for (auto v = a; v; v = v->superview()) ancestorsOfA.insert(v.get());
  for (auto v = b; v; v = v->superview()) {
    if (ancestorsOfA.count(v.get())) return v;
  }
  return nullptr;
}

}  // namespace

bool NSLayoutConstraint::activateWithoutLayout() {
  if (active_) return false;
  auto first = firstItem_.lock();
  auto second = secondItem_.lock();
  if (!first || !second) return false;
  auto owner = commonAncestor(first, second);
  if (!owner) return false;
  owner->constraints_.push_back(shared_from_this());
  owner_ = owner;
  active_ = true;
  return true;
}

void NSLayoutConstraint::deactivateWithoutLayout() {
  if (!active_) return;
  if (auto owner = owner_.lock()) {
    std::erase_if(owner->constraints_, [this](const auto& c) { return c.get() == this; });
  }
  owner_.reset();
  active_ = false;
}

void NSLayoutConstraint::activate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
  std::vector<std::shared_ptr<UIView>> owners;
  for (const auto& c : constraints) {
    if (c && c->activateWithoutLayout()) {
      auto owner = c->owner_.lock();
      if (std::find(owners.begin(), owners.end(), owner) == owners.end()) owners.push_back(owner);
    }
  }
  for (const auto& owner : owners) owner->runLayoutPass();
}

void NSLayoutConstraint::deactivate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
  for (const auto& c : constraints) {
    if (c) c->deactivateWithoutLayout();
  }
}

void NSLayoutConstraint::setActive(bool active) {
  if (active) {
    activate({shared_from_this()});
  } else {
    deactivateWithoutLayout();
  }
}

void NSLayoutConstraint::setConstant(CGFloat constant) {
  constant_ = constant;
  if (auto owner = owner_.lock(); active_ && owner) owner->runLayoutPass();
}

// ---- views ---------------------------------------------------------------------------------

namespace {

bool finite(const CGRect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

}  // namespace

UIView::UIView(CGRect frame) : frame_(frame), bounds_(0, 0, frame.size.width, frame.size.height) {}

std::shared_ptr<UIView> UIView::make(CGRect frame) { return std::shared_ptr<UIView>(new UIView(frame)); }

UIView::~UIView() {
  for (const auto& r : recognizers_) r->setView({});
}

// ---- geometry

void UIView::setFrame(const CGRect& frame) {
  if (frame == frame_) return;
  const CGRect old = bounds_;
  frame_ = frame;
  bounds_.size = frame.size;
  geometryDidChange();
  if (bounds_ != old) boundsDidChange(old);
}

void UIView::setBounds(const CGRect& bounds) {
  const CGRect old = bounds_;
  // The frame keeps its centre and takes the new size.
  const CGPoint centre = center();
  bounds_ = bounds;
  frame_ = CGRect(centre.x - bounds.size.width / 2, centre.y - bounds.size.height / 2, bounds.size.width,
                  bounds.size.height);
  geometryDidChange();
  if (bounds_ != old) boundsDidChange(old);
}

CGPoint UIView::center() const {
  return {frame_.origin.x + frame_.size.width / 2, frame_.origin.y + frame_.size.height / 2};
}

void UIView::setCenter(CGPoint centre) {
  setFrame(CGRect(centre.x - frame_.size.width / 2, centre.y - frame_.size.height / 2, frame_.size.width,
                  frame_.size.height));
}

void UIView::setTransform(const CGAffineTransform& transform) {
  if (transform == transform_) return;
  transform_ = transform;
  geometryDidChange();
}

// A new size is drawn anew (never stretched) and laid out at once, so pinned subviews follow.
void UIView::boundsDidChange(const CGRect& old) {
  if (bounds_.size != old.size) setNeedsDisplay();
  needsLayout_ = true;
  runLayoutPass();
}

void UIView::geometryDidChange() {
  if (auto w = window()) w->invalidateAll();
}

std::optional<CGAffineTransform> UIView::transformToSuperview() const {
  if (!finite(frame_) || !finite(bounds_) || !transform_.isInvertible()) return std::nullopt;
  // Own point p -> p - (bounds origin + half size) -> transform -> + frame centre.
  const CGPoint centre = center();
  const CGAffineTransform t = CGAffineTransform::makeTranslation(-bounds_.origin.x - bounds_.size.width / 2,
                                                                 -bounds_.origin.y - bounds_.size.height / 2)
                                  .concatenating(transform_)
                                  .concatenating(CGAffineTransform::makeTranslation(centre.x, centre.y));
  if (!t.isInvertible()) return std::nullopt;
  return t;
}

namespace {

// From `view`'s coordinates to the coordinates of the root of its tree (the window's).
std::optional<CGAffineTransform> toRoot(const UIView* view) {
  CGAffineTransform t = CGAffineTransform::identity();
  for (const UIView* v = view; v; v = v->superview().get()) {
    if (!v->superview()) break;  // the root's own frame is its place on the screen, not in the tree
    auto step = v->transformToSuperview();
    if (!step) return std::nullopt;
    t = t.concatenating(*step);
  }
  return t;
}

// From the coordinates of `from` into those of `to`; null views stand for the root.
std::optional<CGAffineTransform> between(const UIView* from, const UIView* to) {
  auto up = from ? toRoot(from) : std::optional(CGAffineTransform::identity());
  auto down = to ? toRoot(to) : std::optional(CGAffineTransform::identity());
  if (!up || !down || !down->isInvertible()) return std::nullopt;
  return up->concatenating(down->inverted());
}

}  // namespace

CGPoint UIView::convert(CGPoint point, const UIView* to) const {
  auto t = between(this, to);
  return t ? point.applying(*t) : point;
}

CGRect UIView::convert(const CGRect& rect, const UIView* to) const {
  auto t = between(this, to);
  return t ? rect.applying(*t) : rect;
}

CGPoint UIView::convertFrom(CGPoint point, const UIView* from) const {
  auto t = between(from, this);
  return t ? point.applying(*t) : point;
}

CGRect UIView::convertFrom(const CGRect& rect, const UIView* from) const {
  auto t = between(from, this);
  return t ? rect.applying(*t) : rect;
}

// ---- appearance

void UIView::setHidden(bool hidden) {
  if (hidden == hidden_) return;
  hidden_ = hidden;
  geometryDidChange();
}

void UIView::setAlpha(CGFloat alpha) {
  alpha = std::isnan(alpha) ? 0 : std::clamp(alpha, CGFloat(0), CGFloat(1));
  if (alpha == alpha_) return;
  alpha_ = alpha;
  geometryDidChange();
}

void UIView::setClipsToBounds(bool clips) {
  if (clips == clipsToBounds_) return;
  clipsToBounds_ = clips;
  geometryDidChange();
}

void UIView::setBackgroundColor(std::optional<UIColor> color) {
  if (color == backgroundColor_) return;
  backgroundColor_ = color;
  setNeedsDisplay();
}

bool UIView::hasUsableGeometry() const {
  return bounds_.size.width > 0 && bounds_.size.height > 0 && transformToSuperview().has_value();
}

bool UIView::isDrawable() const { return !hidden_ && alpha_ >= 0.01 && hasUsableGeometry(); }

// ---- tree

std::shared_ptr<UIWindow> UIView::window() const { return window_.lock(); }

void UIView::addSubview(const std::shared_ptr<UIView>& view) { attach(view, subviews_.size()); }

void UIView::insertSubview(const std::shared_ptr<UIView>& view, std::size_t index) { attach(view, index); }

void UIView::insertSubview(const std::shared_ptr<UIView>& view, const UIView& belowSubview) {
  auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == &belowSubview; });
  attach(view, std::size_t(it - subviews_.begin()));
}

void UIView::bringSubviewToFront(const std::shared_ptr<UIView>& view) {
  if (view && view->superview().get() == this) attach(view, subviews_.size());
}

void UIView::attach(const std::shared_ptr<UIView>& view, std::size_t index) {
  if (!view || view.get() == this || isDescendant(*view)) return;  // no cycles
  auto keep = view;
  const bool moving = view->superview().get() != this;
  if (!moving) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (std::size_t(it - subviews_.begin()) < index) --index;  // its own slot goes away
    subviews_.erase(it);
  } else {
    view->removeFromSuperview();
    view->superview_ = weak_from_this();
  }
  subviews_.insert(subviews_.begin() + std::ptrdiff_t(std::min(index, subviews_.size())), keep);
  if (moving) {
    view->setWindowRecursive(window_);
    view->didMoveToSuperview();
  }
  geometryDidChange();
  setNeedsLayout();
}

bool UIView::isDescendant(const UIView& of) const {
  for (const UIView* v = this; v; v = v->superview_.lock().get()) {
    if (v == &of) return true;
  }
  return false;
}

void UIView::removeFromSuperview() {
  auto parent = superview();
  if (!parent) return;
  // Constraints held above this view that reach into its subtree lose their meaning.
  for (auto ancestor = parent; ancestor; ancestor = ancestor->superview()) {
    std::vector<std::shared_ptr<NSLayoutConstraint>> broken;
    for (const auto& c : ancestor->constraints_) {
      auto first = c->firstItem();
      auto second = c->secondItem();
      if ((first && first->isDescendant(*this)) || (second && second->isDescendant(*this))) broken.push_back(c);
    }
    NSLayoutConstraint::deactivate(broken);
  }
  auto self = shared_from_this();  // the superview may hold the last reference
  if (auto w = window()) {
    w->viewWillLeave(*this);
    w->invalidateAll();
  }
  std::erase(parent->subviews_, self);
  superview_.reset();
  setWindowRecursive({});
  didMoveToSuperview();
}

void UIView::setWindowRecursive(const std::weak_ptr<UIWindow>& window) {
  const bool changed = window.lock() != window_.lock();
  window_ = window;
  if (changed) {
    if (window.lock()) needsDisplay_ = true;  // a fresh window has no picture of it yet
    didMoveToWindow();
  }
  for (const auto& v : subviews_) v->setWindowRecursive(window);
  if (changed && needsDisplay_) {
    if (auto w = window.lock()) w->scheduleDisplay();
  }
}

// ---- drawing

void UIView::setNeedsDisplay() {
  needsDisplay_ = true;
  if (auto w = window()) w->scheduleDisplay();
}

void UIView::setNeedsDisplay(const CGRect&) { setNeedsDisplay(); }

void UIView::draw(const CGRect&) {}

UIView::Backing& UIView::ensureBacking() {
  if (!backing_) backing_ = std::make_unique<Backing>();
  return *backing_;
}

// ---- layout

void UIView::setNeedsLayout() {
  needsLayout_ = true;
  if (auto w = window()) w->scheduleDisplay();
}

void UIView::layoutIfNeeded() {
  if (needsLayout_) runLayoutPass();
  // A subview's pass may add or remove views; walk a copy.
  const auto children = subviews_;
  for (const auto& v : children) v->layoutIfNeeded();
}

void UIView::runLayoutPass() {
  if (inLayout_) return;
  inLayout_ = true;
  needsLayout_ = false;
  auto keep = weak_from_this().lock();  // the owner's hook may drop the last outside reference
  layoutSubviews();
  if (owner_) owner_->viewDidLayoutSubviews();
  inLayout_ = false;
}

void UIView::layoutSubviews() { applyEdgeConstraints(); }

void UIView::setSemanticContentAttribute(UISemanticContentAttribute attribute) {
  semanticContentAttribute_ = attribute;
  if (auto parent = superview()) parent->runLayoutPass();
  runLayoutPass();
}

UIUserInterfaceLayoutDirection UIView::effectiveUserInterfaceLayoutDirection() const {
  for (const UIView* v = this; v; v = v->superview_.lock().get()) {
    switch (v->semanticContentAttribute_) {
      case UISemanticContentAttribute::forceLeftToRight: return UIUserInterfaceLayoutDirection::leftToRight;
      case UISemanticContentAttribute::forceRightToLeft: return UIUserInterfaceLayoutDirection::rightToLeft;
      case UISemanticContentAttribute::unspecified: break;
    }
  }
  return UIUserInterfaceLayoutDirection::leftToRight;
}

// ---- touches

bool UIView::pointInside(CGPoint point, const UIEvent*) const { return bounds_.contains(point); }

std::shared_ptr<UIView> UIView::hitTest(CGPoint point, const UIEvent* event) {
  if (hidden_ || alpha_ < 0.01 || !userInteraction_ || !hasUsableGeometry()) return nullptr;
  if (!pointInside(point, event)) return nullptr;
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    auto toChild = (*it)->transformToSuperview();
    if (!toChild) continue;
    if (auto hit = (*it)->hitTest(point.applying(toChild->inverted()), event)) return hit;
  }
  return shared_from_this();
}

UIResponder* UIView::next() const {
  if (owner_) return owner_->ownerResponder();
  return superview_.lock().get();
}

// ---- gesture recognisers

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
  if (!recognizer) return;
  if (auto old = recognizer->view(); old && old.get() != this) old->removeGestureRecognizer(recognizer);
  if (std::find(recognizers_.begin(), recognizers_.end(), recognizer) != recognizers_.end()) return;
  recognizers_.push_back(recognizer);
  recognizer->setView(weak_from_this());
}

void UIView::removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
  auto it = std::find(recognizers_.begin(), recognizers_.end(), recognizer);
  if (it == recognizers_.end()) return;
  recognizers_.erase(it);
  recognizer->setView({});
}

namespace {

enum class Edge { minX, maxX, minY, maxY };

// The physical edge an attribute names, and the sign its constant takes: leading and trailing
// swap sides, and their constants turn round, in right-to-left layout.
struct PhysicalEdge {
  Edge edge;
  CGFloat sign;
};

PhysicalEdge physical(NSLayoutAttribute attribute, bool rightToLeft) {
  switch (attribute) {
    case NSLayoutAttribute::left: return {Edge::minX, 1};
    case NSLayoutAttribute::right: return {Edge::maxX, 1};
    case NSLayoutAttribute::top: return {Edge::minY, 1};
    case NSLayoutAttribute::bottom: return {Edge::maxY, 1};
    case NSLayoutAttribute::leading: return rightToLeft ? PhysicalEdge{Edge::maxX, -1} : PhysicalEdge{Edge::minX, 1};
    case NSLayoutAttribute::trailing: return rightToLeft ? PhysicalEdge{Edge::minX, -1} : PhysicalEdge{Edge::maxX, 1};
  }
  return {Edge::minX, 1};
}

CGFloat edgeOf(const CGRect& r, Edge edge) {
  switch (edge) {
    case Edge::minX: return r.minX();
    case Edge::maxX: return r.maxX();
    case Edge::minY: return r.minY();
    case Edge::maxY: return r.maxY();
  }
  return 0;
}

// Edge targets for one subview, in its superview's bounds coordinates.
struct Targets {
  std::optional<CGFloat> edges[4];
};

}  // namespace

void UIView::applyEdgeConstraints() {
  struct Pending {
    std::shared_ptr<UIView> view;
    Targets targets;
  };
  std::vector<Pending> pending;
  auto targetsFor = [&](const std::shared_ptr<UIView>& view) -> Targets& {
    for (auto& p : pending) {
      if (p.view == view) return p.targets;
    }
    pending.push_back({view, {}});
    return pending.back().targets;
  };

  for (const auto& c : constraints_) {
    if (c->multiplier() != 1) continue;
    auto first = c->firstItem();
    auto second = c->secondItem();
    if (!first || !second) continue;
    // A subview's edge equal to the same edge of this view, in either order.
    std::shared_ptr<UIView> child;
    CGFloat direction = 1;
    if (second.get() == this && first->superview().get() == this) {
      child = first;
    } else if (first.get() == this && second->superview().get() == this) {
      child = second;
      direction = -1;  // this.edge == child.edge + c  =>  child.edge == this.edge - c
    } else {
      continue;
    }
    if (c->firstAttribute() != c->secondAttribute()) continue;
    const bool rightToLeft =
        child->effectiveUserInterfaceLayoutDirection() == UIUserInterfaceLayoutDirection::rightToLeft;
    const PhysicalEdge edge = physical(c->firstAttribute(), rightToLeft);
    targetsFor(child).edges[int(edge.edge)] = edgeOf(bounds_, edge.edge) + direction * edge.sign * c->constant();
  }

  for (auto& [view, targets] : pending) {
    CGRect frame = view->frame().standardized();
    auto place = [](CGFloat& origin, CGFloat& size, const std::optional<CGFloat>& low,
                    const std::optional<CGFloat>& high) {
      if (low && high) {
        origin = *low;
        size = *high - *low;
      } else if (low) {
        origin = *low;
      } else if (high) {
        origin = *high - size;
      }
    };
    place(frame.origin.x, frame.size.width, targets.edges[int(Edge::minX)], targets.edges[int(Edge::maxX)]);
    place(frame.origin.y, frame.size.height, targets.edges[int(Edge::minY)], targets.edges[int(Edge::maxY)]);
    view->setFrame(frame);
  }
}
