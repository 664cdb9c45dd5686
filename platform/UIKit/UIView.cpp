#include "UIKit/UIView.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIWindow.h"
#include "UIKit/internal/RectList.h"
#include "UIKit/internal/ViewBacking.h"

namespace {

bool finite(const CGRect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

}  // namespace

UIView::UIView(CGRect frame) : frame_(frame), bounds_(0, 0, frame.size.width, frame.size.height) {}

std::shared_ptr<UIView> UIView::make(CGRect frame) {
  return std::shared_ptr<UIView>(new UIView(frame));
}

UIView::~UIView() {
  for (const auto& r : recognizers_)
    r->setView({});
}

// ---- geometry

void UIView::setFrame(const CGRect& frame) {
  if (frame == frame_)
    return;
  const CGRect old = bounds_;
  frame_ = frame;
  bounds_.size = frame.size;
  geometryDidChange();
  if (bounds_ != old)
    boundsDidChange(old);
}

void UIView::setBounds(const CGRect& bounds) {
  const CGRect old = bounds_;
  // The frame keeps its centre and takes the new size.
  const CGPoint centre = center();
  bounds_ = bounds;
  frame_ = CGRect(centre.x - bounds.size.width / 2, centre.y - bounds.size.height / 2, bounds.size.width,
                  bounds.size.height);
  geometryDidChange();
  if (bounds_ != old)
    boundsDidChange(old);
}

CGPoint UIView::center() const {
  return {frame_.origin.x + frame_.size.width / 2, frame_.origin.y + frame_.size.height / 2};
}

void UIView::setCenter(CGPoint centre) {
  setFrame(CGRect(centre.x - frame_.size.width / 2, centre.y - frame_.size.height / 2, frame_.size.width,
                  frame_.size.height));
}

void UIView::setTransform(const CGAffineTransform& transform) {
  if (transform == transform_)
    return;
  transform_ = transform;
  geometryDidChange();
}

// A new size is drawn anew (never stretched) and laid out at once, so pinned subviews follow.
void UIView::boundsDidChange(const CGRect& old) {
  if (bounds_.size != old.size)
    setNeedsDisplay();
  needsLayout_ = true;
  runLayoutPass();
}

void UIView::geometryDidChange() {
  if (auto w = window())
    w->invalidateAll();
}

std::optional<CGAffineTransform> UIView::transformToSuperview() const {
  if (!finite(frame_) || !finite(bounds_))
    return std::nullopt;
  // Own point p -> p - (bounds origin + half size) -> transform -> + frame centre.
  const CGPoint centre = center();
  if (transform_ == CGAffineTransform::identity()) {
    // Most views: a translation, the same sums as the products below give for the identity.
    return CGAffineTransform::makeTranslation((-bounds_.origin.x - bounds_.size.width / 2) + centre.x,
                                              (-bounds_.origin.y - bounds_.size.height / 2) + centre.y);
  }
  if (!transform_.isInvertible())
    return std::nullopt;
  const CGAffineTransform t = CGAffineTransform::makeTranslation(-bounds_.origin.x - bounds_.size.width / 2,
                                                                 -bounds_.origin.y - bounds_.size.height / 2)
                                  .concatenating(transform_)
                                  .concatenating(CGAffineTransform::makeTranslation(centre.x, centre.y));
  if (!t.isInvertible())
    return std::nullopt;
  return t;
}

namespace {

// From `view`'s coordinates to the coordinates of the root of its tree (the window's).
std::optional<CGAffineTransform> toRoot(const UIView* view) {
  CGAffineTransform t = CGAffineTransform::identity();
  for (const UIView* v = view; v; v = v->superview().get()) {
    if (!v->superview())
      break;  // the root's own frame is its place on the screen, not in the tree
    auto step = v->transformToSuperview();
    if (!step)
      return std::nullopt;
    t = t.concatenating(*step);
  }
  return t;
}

// From the coordinates of `from` into those of `to`; null views stand for the root.
std::optional<CGAffineTransform> between(const UIView* from, const UIView* to) {
  auto up = from ? toRoot(from) : std::optional(CGAffineTransform::identity());
  auto down = to ? toRoot(to) : std::optional(CGAffineTransform::identity());
  if (!up || !down || !down->isInvertible())
    return std::nullopt;
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
  if (hidden == hidden_)
    return;
  hidden_ = hidden;
  geometryDidChange();
}

void UIView::setAlpha(CGFloat alpha) {
  alpha = std::isnan(alpha) ? 0 : std::clamp(alpha, CGFloat(0), CGFloat(1));
  if (alpha == alpha_)
    return;
  alpha_ = alpha;
  geometryDidChange();
}

void UIView::setClipsToBounds(bool clips) {
  if (clips == clipsToBounds_)
    return;
  clipsToBounds_ = clips;
  geometryDidChange();
}

void UIView::setBackgroundColor(std::optional<UIColor> color) {
  if (color == backgroundColor_)
    return;
  backgroundColor_ = color;
  setNeedsDisplay();
}

bool UIView::isDrawable() const {
  return !hidden_ && alpha_ >= 0.01 && bounds_.size.width > 0 && bounds_.size.height > 0 &&
         transformToSuperview().has_value();
}

// ---- tree

std::shared_ptr<UIWindow> UIView::window() const {
  return window_.lock();
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
  attach(view, subviews_.size());
}

void UIView::insertSubview(const std::shared_ptr<UIView>& view, std::size_t index) {
  attach(view, index);
}

void UIView::insertSubview(const std::shared_ptr<UIView>& view, const UIView& belowSubview) {
  auto it = std::find_if(subviews_.begin(), subviews_.end(),
                         [&](const auto& v) { return v.get() == &belowSubview; });
  attach(view, std::size_t(it - subviews_.begin()));
}

void UIView::attach(const std::shared_ptr<UIView>& view, std::size_t index) {
  if (!view || view.get() == this || isDescendant(*view))
    return;  // no cycles
  auto keep = view;
  const bool moving = view->superview().get() != this;
  if (!moving) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (std::size_t(it - subviews_.begin()) < index)
      --index;  // its own slot goes away
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
    if (v == &of)
      return true;
  }
  return false;
}

void UIView::removeFromSuperview() {
  auto parent = superview();
  if (!parent)
    return;
  // Constraints held above this view that reach into its subtree lose their meaning.
  for (auto ancestor = parent; ancestor; ancestor = ancestor->superview()) {
    std::vector<std::shared_ptr<NSLayoutConstraint>> broken;
    for (const auto& c : ancestor->constraints_) {
      auto first = c->firstItem();
      auto second = c->secondItem();
      if ((first && first->isDescendant(*this)) || (second && second->isDescendant(*this)))
        broken.push_back(c);
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
    if (window.lock()) {
      needsDisplay_ = true;  // a fresh window has no picture of it yet
      displayParts_.clear();
    }
    didMoveToWindow();
  }
  for (const auto& v : subviews_)
    v->setWindowRecursive(window);
  if (changed && needsDisplay_) {
    if (auto w = window.lock())
      w->scheduleDisplay();
  }
}

// ---- drawing

void UIView::setNeedsDisplay() {
  needsDisplay_ = true;
  displayParts_.clear();
  if (auto w = window())
    w->scheduleDisplay();
}

void UIView::setNeedsDisplay(const CGRect& rect) {
  const CGRect r = rect.standardized();
  if (!finite(r)) {
    setNeedsDisplay();
    return;
  }
  const CGRect part = r.intersection(bounds_);
  if (part.isEmpty())
    return;
  if (needsDisplay_ && displayParts_.empty())
    return;  // the whole view is marked already
  addToRectList(displayParts_, part, maxDisplayParts);
  needsDisplay_ = true;
  if (auto w = window())
    w->scheduleDisplay();
}

std::optional<CGRect> UIView::needsDisplayPart() const {
  if (displayParts_.empty())
    return std::nullopt;
  return boundsOfRectList(displayParts_);
}

void UIView::draw(const CGRect&) {}

UIView::Backing& UIView::ensureBacking() {
  if (!backing_)
    backing_ = std::make_unique<Backing>();
  return *backing_;
}

// ---- layout

void UIView::setNeedsLayout() {
  needsLayout_ = true;
  if (auto w = window())
    w->scheduleDisplay();
}

void UIView::layoutIfNeeded() {
  if (needsLayout_)
    runLayoutPass();
  // A subview's pass may add or remove views; walk a copy.
  const auto children = subviews_;
  for (const auto& v : children)
    v->layoutIfNeeded();
}

void UIView::runLayoutPass() {
  if (inLayout_)
    return;
  inLayout_ = true;
  needsLayout_ = false;
  auto keep = weak_from_this().lock();  // the owner's hook may drop the last outside reference
  layoutSubviews();
  if (owner_)
    owner_->viewDidLayoutSubviews();
  inLayout_ = false;
}

void UIView::layoutSubviews() {
  applyEdgeConstraints();
}

void UIView::setSemanticContentAttribute(UISemanticContentAttribute attribute) {
  semanticContentAttribute_ = attribute;
  if (auto parent = superview())
    parent->runLayoutPass();
  runLayoutPass();
}

UIUserInterfaceLayoutDirection UIView::effectiveUserInterfaceLayoutDirection() const {
  for (const UIView* v = this; v; v = v->superview_.lock().get()) {
    switch (v->semanticContentAttribute_) {
      case UISemanticContentAttribute::forceLeftToRight:
        return UIUserInterfaceLayoutDirection::leftToRight;
      case UISemanticContentAttribute::forceRightToLeft:
        return UIUserInterfaceLayoutDirection::rightToLeft;
      case UISemanticContentAttribute::unspecified:
        break;
    }
  }
  return UIUserInterfaceLayoutDirection::leftToRight;
}

// ---- touches

bool UIView::pointInside(CGPoint point, const UIEvent*) const {
  return bounds_.contains(point);
}

std::shared_ptr<UIView> UIView::hitTest(CGPoint point, const UIEvent* event) {
  if (!userInteraction_ || !isDrawable())
    return nullptr;
  if (!pointInside(point, event))
    return nullptr;
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    auto toChild = (*it)->transformToSuperview();
    if (!toChild)
      continue;
    if (auto hit = (*it)->hitTest(point.applying(toChild->inverted()), event))
      return hit;
  }
  return shared_from_this();
}

UIResponder* UIView::next() const {
  if (owner_)
    return owner_->ownerResponder();
  return superview_.lock().get();
}

// ---- gesture recognisers

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
  if (!recognizer)
    return;
  if (auto old = recognizer->view(); old && old.get() != this)
    old->removeGestureRecognizer(recognizer);
  if (std::find(recognizers_.begin(), recognizers_.end(), recognizer) != recognizers_.end())
    return;
  recognizers_.push_back(recognizer);
  recognizer->setView(weak_from_this());
}

void UIView::removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
  auto it = std::find(recognizers_.begin(), recognizers_.end(), recognizer);
  if (it == recognizers_.end())
    return;
  recognizers_.erase(it);
  recognizer->setView({});
}
