// Layout constraints, and how a view applies the edge-pinning ones it holds to its subviews.
#include "UIKit/UIView.h"

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
  for (auto v = a; v; v = v->superview())
    ancestorsOfA.insert(v.get());
  for (auto v = b; v; v = v->superview()) {
    if (ancestorsOfA.count(v.get()))
      return v;
  }
  return nullptr;
}

}  // namespace

bool NSLayoutConstraint::activateWithoutLayout() {
  if (active_)
    return false;
  auto first = firstItem_.lock();
  auto second = secondItem_.lock();
  if (!first || !second)
    return false;
  auto owner = commonAncestor(first, second);
  if (!owner)
    return false;
  owner->constraints_.push_back(shared_from_this());
  owner_ = owner;
  active_ = true;
  return true;
}

void NSLayoutConstraint::deactivateWithoutLayout() {
  if (!active_)
    return;
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
      if (std::find(owners.begin(), owners.end(), owner) == owners.end())
        owners.push_back(owner);
    }
  }
  for (const auto& owner : owners)
    owner->runLayoutPass();
}

void NSLayoutConstraint::deactivate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
  for (const auto& c : constraints) {
    if (c)
      c->deactivateWithoutLayout();
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
  if (auto owner = owner_.lock(); active_ && owner)
    owner->runLayoutPass();
}

// ---- edge pinning --------------------------------------------------------------------------

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
    case NSLayoutAttribute::left:
      return {Edge::minX, 1};
    case NSLayoutAttribute::right:
      return {Edge::maxX, 1};
    case NSLayoutAttribute::top:
      return {Edge::minY, 1};
    case NSLayoutAttribute::bottom:
      return {Edge::maxY, 1};
    case NSLayoutAttribute::leading:
      return rightToLeft ? PhysicalEdge{Edge::maxX, -1} : PhysicalEdge{Edge::minX, 1};
    case NSLayoutAttribute::trailing:
      return rightToLeft ? PhysicalEdge{Edge::minX, -1} : PhysicalEdge{Edge::maxX, 1};
  }
  return {Edge::minX, 1};
}

CGFloat edgeOf(const CGRect& r, Edge edge) {
  switch (edge) {
    case Edge::minX:
      return r.minX();
    case Edge::maxX:
      return r.maxX();
    case Edge::minY:
      return r.minY();
    case Edge::maxY:
      return r.maxY();
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
      if (p.view == view)
        return p.targets;
    }
    pending.push_back({view, {}});
    return pending.back().targets;
  };

  for (const auto& c : constraints_) {
    if (c->multiplier() != 1)
      continue;
    auto first = c->firstItem();
    auto second = c->secondItem();
    if (!first || !second)
      continue;
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
    if (c->firstAttribute() != c->secondAttribute())
      continue;
    const bool rightToLeft =
        child->effectiveUserInterfaceLayoutDirection() == UIUserInterfaceLayoutDirection::rightToLeft;
    const PhysicalEdge edge = physical(c->firstAttribute(), rightToLeft);
    targetsFor(child).edges[int(edge.edge)] =
        edgeOf(bounds_, edge.edge) + direction * edge.sign * c->constant();
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
