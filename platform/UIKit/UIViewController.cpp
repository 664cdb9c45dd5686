#include "UIKit/UIViewController.h"

#include <algorithm>
#include <string>

#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIStoryboard.h"
#include "UIKit/UIStoryboardSegue.h"
#include "UIKit/UIWindow.h"
#include "UIKit/internal/UIKitLog.h"

UIViewController::UIViewController() = default;

UIViewController::UIViewController(std::optional<std::string> nibName, const Bundle* bundle)
    : nibName_(std::move(nibName)), nibBundle_(bundle) {}

UIViewController::UIViewController(const NSCoder& coder) : storyboard_(coder.storyboard()) {}

UIViewController::~UIViewController() {
  // The view may outlive its controller (a superview holds it): it must not call back here.
  if (view_ && view_->viewOwner() == this)
    view_->setViewOwner(nullptr);
}

// ---- the view --------------------------------------------------------------------------------

const std::shared_ptr<UIView>& UIViewController::view() {
  if (view_ || loadingView_)
    return view_;
  struct Loading {
    bool& flag;
    explicit Loading(bool& f) : flag(f) { flag = true; }
    ~Loading() { flag = false; }
  };
  {
    Loading loading(loadingView_);
    loadView();
  }
  if (!view_)
    setView(UIView::make());  // a loadView that made nothing still leaves a view
  viewDidLoad();
  return view_;
}

void UIViewController::setView(std::shared_ptr<UIView> view) {
  if (view_ == view)
    return;
  if (view_ && view_->viewOwner() == this)
    view_->setViewOwner(nullptr);
  view_ = std::move(view);
  if (view_)
    view_->setViewOwner(this);
}

void UIViewController::loadView() {
  setView(UIView::make());
}

bool UIViewController::canPerformAction(std::string_view, const std::any&) {
  return false;
}

// ---- appearance ------------------------------------------------------------------------------

void UIViewController::viewWillAppear(bool) {}
void UIViewController::viewDidAppear(bool) {}
void UIViewController::viewWillDisappear(bool) {}
void UIViewController::viewDidDisappear(bool) {}

void UIViewController::beginAppearanceTransition(bool isAppearing, bool animated) {
  if (isAppearing) {
    if (appearance_ == Appearance::appearing || appearance_ == Appearance::appeared)
      return;
    appearance_ = Appearance::appearing;
    appearanceAnimated_ = animated;
    viewWillAppear(animated);
  } else {
    if (appearance_ == Appearance::disappearing || appearance_ == Appearance::disappeared)
      return;
    appearance_ = Appearance::disappearing;
    appearanceAnimated_ = animated;
    viewWillDisappear(animated);
  }
  forwardAppearance(true, isAppearing, animated);
}

void UIViewController::endAppearanceTransition() {
  const bool animated = appearanceAnimated_;
  if (appearance_ == Appearance::appearing) {
    appearance_ = Appearance::appeared;
    viewDidAppear(animated);
    forwardAppearance(false, true, animated);
  } else if (appearance_ == Appearance::disappearing) {
    appearance_ = Appearance::disappeared;
    viewDidDisappear(animated);
    forwardAppearance(false, false, animated);
  }
}

void UIViewController::forwardAppearance(bool begin, bool isAppearing, bool animated) {
  // A copy: a callback may add or remove children.
  const auto children = children_;
  for (const auto& child : children) {
    if (!child->isViewLoaded())
      continue;
    if (begin) {
      child->beginAppearanceTransition(isAppearing, animated);
    } else {
      child->endAppearanceTransition();
    }
  }
}

// ---- children --------------------------------------------------------------------------------

void UIViewController::addChild(const std::shared_ptr<UIViewController>& child) {
  if (!child || child.get() == this || child->parent().get() == this)
    return;
  for (auto p = parent(); p; p = p->parent()) {
    if (p == child)
      return;  // no cycles
  }
  if (child->parent())
    child->removeFromParent();
  child->willMove(this);
  children_.push_back(child);
  child->parent_ = weak_from_this();
}

void UIViewController::removeFromParent() {
  auto parent = parent_.lock();
  if (!parent)
    return;
  auto self = shared_from_this();  // the parent may hold the last reference
  std::erase(parent->children_, self);
  parent_.reset();
  didMove(nullptr);
}

void UIViewController::willMove(UIViewController*) {}
void UIViewController::didMove(UIViewController*) {}

// ---- presentation ----------------------------------------------------------------------------

void UIViewController::present(const std::shared_ptr<UIViewController>& controller, bool animated,
                               std::function<void()> completion) {
  if (!controller)
    return;
  if (presented_ && presented_->beingDismissed_)
    dismiss(false);  // an answered dialog still closing
  if (presented_) {
    uikitLog("UIViewController: cannot present a controller while another one is presented");
    return;
  }
  if (controller.get() == this || controller->presenting_.lock() || controller->parent()) {
    uikitLog("UIViewController: cannot present a controller that is already shown elsewhere");
    return;
  }
  auto self = shared_from_this();
  presented_ = controller;
  controller->presenting_ = self;
  controller->beingDismissed_ = false;
  // Only a controller that is on screen disappears under what it presents (and comes back later).
  const bool covers = controller->coversPresentingController() &&
                      (appearance_ == Appearance::appearing || appearance_ == Appearance::appeared);
  controller->hidPresenting_ = covers;

  controller->showPresentation(*this);
  if (covers)
    beginAppearanceTransition(false, animated);
  controller->beginAppearanceTransition(true, animated);

  DispatchQueue::main().async([self, controller, covers, completion = std::move(completion)] {
    if (self->presented_ != controller)
      return;  // dismissed before it appeared
    if (covers)
      self->endAppearanceTransition();
    controller->endAppearanceTransition();
    if (completion)
      completion();
    if (self->presented_ == controller)
      controller->presentationDidAppear();
  });
}

void UIViewController::dismiss(bool animated, std::function<void()> completion) {
  std::shared_ptr<UIViewController> host = presented_ ? shared_from_this() : presenting_.lock();
  if (!host || !host->presented_) {
    if (completion)
      DispatchQueue::main().async(std::move(completion));
    return;
  }
  // Takes down `gone` and whatever it presents in turn, top first. Only the bottom one uncovers
  // its host: the ones between never come back.
  struct TakeDown {
    static void run(const std::shared_ptr<UIViewController>& host, bool animated, bool uncoverHost,
                    std::vector<std::pair<std::shared_ptr<UIViewController>, bool>>& ended) {
      auto gone = host->presented_;
      if (gone->presented_)
        run(gone, animated, false, ended);
      host->presented_.reset();
      gone->presenting_.reset();
      gone->beingDismissed_ = true;
      const bool uncovers = uncoverHost && gone->hidPresenting_;
      gone->hidPresenting_ = false;
      gone->beginAppearanceTransition(false, animated);
      if (uncovers)
        host->beginAppearanceTransition(true, animated);
      gone->hidePresentation();
      ended.emplace_back(gone, false);
      if (uncovers)
        ended.emplace_back(host, true);
    }
  };
  std::vector<std::pair<std::shared_ptr<UIViewController>, bool>> ended;
  TakeDown::run(host, animated, true, ended);

  DispatchQueue::main().async([ended = std::move(ended), completion = std::move(completion)] {
    for (const auto& [controller, isHost] : ended) {
      controller->endAppearanceTransition();
      if (!isHost && !controller->presenting_.lock())
        controller->beingDismissed_ = false;
    }
    if (completion)
      completion();
  });
}

void UIViewController::showPresentation(UIViewController& presenting) {
  const auto& shown = view();  // loaded even when there is no window to show it in
  const auto& presentingView = presenting.viewIfLoaded();
  std::shared_ptr<UIWindow> window = presentingView ? presentingView->window() : nullptr;
  if (!window)
    return;
  shown->setFrame(window->bounds());
  window->addSubview(shown);
  shown->setTranslatesAutoresizingMaskIntoConstraints(false);
  NSLayoutConstraint::activate({shown->topAnchor().constraint(window->topAnchor()),
                                shown->leadingAnchor().constraint(window->leadingAnchor()),
                                shown->bottomAnchor().constraint(window->bottomAnchor()),
                                shown->trailingAnchor().constraint(window->trailingAnchor())});
}

void UIViewController::hidePresentation() {
  if (view_ && view_->superview())
    view_->removeFromSuperview();
}

// ---- segues ----------------------------------------------------------------------------------

void UIViewController::performSegue(std::string_view identifier, const std::any& sender) {
  UIStoryboard& storyboard = storyboard_ ? *storyboard_ : UIStoryboard::main();
  auto destination = storyboard.instantiateDestination(identifier);
  if (!destination) {
    uikitLog("UIViewController: no segue with the identifier \"" + std::string(identifier) + "\"");
    return;
  }
  UIStoryboardSegue segue(std::string(identifier), shared_from_this(), std::move(destination));
  prepare(segue, sender);
  segue.perform();
}

void UIViewController::prepare(UIStoryboardSegue&, const std::any&) {}

UIResponder* UIViewController::next() const {
  if (view_) {
    if (auto superview = view_->superview())
      return superview.get();
  }
  if (auto presenting = presenting_.lock())
    return presenting.get();
  if (auto parent = parent_.lock())
    return parent.get();
  return nullptr;
}
