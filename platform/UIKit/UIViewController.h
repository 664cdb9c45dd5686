// View controllers: the owner of a screen's view, of child controllers embedded in it and of the
// controller it presents modally.
//
// The view loads lazily: the first read of `view()` calls loadView() (the default makes a plain
// view) and then viewDidLoad(), once; isViewLoaded() never loads it. The controller owns its view
// as the view's UIViewOwner, so viewDidLayoutSubviews() follows every layout pass of the view (a
// bounds change, or a pass requested with setNeedsLayout()).
//
// Appearance: viewWillAppear / viewDidAppear / viewWillDisappear / viewDidDisappear come in pairs
// through begin/endAppearanceTransition, which the application's launch (for the root controller)
// and presentation call, and which a controller forwards to those of its children whose views are
// loaded.
//
// Presentation: present(_:animated:completion:) shows a controller over this one's window (its
// view pinned to the window's edges; alerts and pickers show a dialog instead). The presented
// controller gets viewWillAppear at once, viewDidAppear on the next turn of the main queue, and the
// completion runs right after that, when it has appeared. dismiss(animated:completion:) takes the
// presented controller down (called on the presented controller itself, it dismisses itself); its
// completion runs after viewDidDisappear, on the next turn as well. A controller presents one at a
// time: a second present() while one is shown is refused with a line on stderr.
//
// Segues: performSegue(withIdentifier:sender:) makes the destination through the storyboard that
// made this controller (the main storyboard for controllers made in code), calls prepare(for:
// sender:) and then presents the destination, animated. An unknown identifier is refused with a
// line on stderr.
//
// Controllers are held by std::shared_ptr (make them with std::make_shared). All members belong to
// the main thread. [main]
#pragma once

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "UIKit/NSCoder.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIView.h"

class Bundle;
class UIStoryboard;
class UIStoryboardSegue;

class UIViewController : public UIResponder,
                         public UIViewOwner,
                         public std::enable_shared_from_this<UIViewController> {
 public:
  // init(nibName: nil, bundle: nil).
  UIViewController();
  // init(nibName:bundle:): the names are kept; the view is still made by loadView().
  UIViewController(std::optional<std::string> nibName, const Bundle* bundle);
  // init(coder:): made by a storyboard (the coder names it).
  explicit UIViewController(const NSCoder& coder);
  ~UIViewController() override;

  const std::optional<std::string>& nibName() const { return nibName_; }
  // The storyboard that made this controller, or null (not owned).
  UIStoryboard* storyboard() const { return storyboard_; }

  // ---- the view

  // The view, loaded on the first read (loadView, then viewDidLoad). Read while loadView runs, it
  // is whatever loadView has set so far.
  const std::shared_ptr<UIView>& view();
  // Replaces the view without loading (null unloads it); viewDidLoad does not run for it.
  void setView(std::shared_ptr<UIView> view);
  bool isViewLoaded() const { return bool(view_); }
  const std::shared_ptr<UIView>& viewIfLoaded() const { return view_; }
  void loadViewIfNeeded() { view(); }

  // Makes the view and sets it with setView(); the default makes a plain one. Not to be called
  // directly.
  virtual void loadView();
  virtual void viewDidLoad() {}
  void viewDidLayoutSubviews() override {}

  // ---- appearance

  virtual void viewWillAppear(bool animated);
  virtual void viewDidAppear(bool animated);
  virtual void viewWillDisappear(bool animated);
  virtual void viewDidDisappear(bool animated);
  // Starts an appearance change (the will- call) and ends it (the did- call); a begin that does
  // not change anything (appearing while already appeared) calls nothing.
  void beginAppearanceTransition(bool isAppearing, bool animated);
  void endAppearanceTransition();

  virtual void didReceiveMemoryWarning() {}
  // Whether the controller handles the action (a selector such as "copy:"); the default is false.
  virtual bool canPerformAction(std::string_view action, const std::any& sender);

  // ---- children

  const std::vector<std::shared_ptr<UIViewController>>& children() const { return children_; }
  std::shared_ptr<UIViewController> parent() const { return parent_.lock(); }
  // Adds `child` (out of its old parent first) after calling child->willMove(toParent: this). The
  // caller adds the child's view and then calls child->didMove(toParent: this).
  void addChild(const std::shared_ptr<UIViewController>& child);
  // Leaves the parent and calls didMove(toParent: nil); the caller calls willMove(toParent: nil)
  // and removes the view.
  void removeFromParent();
  virtual void willMove(UIViewController* toParent);
  virtual void didMove(UIViewController* toParent);

  // ---- modal presentation

  void present(const std::shared_ptr<UIViewController>& controller, bool animated,
               std::function<void()> completion = {});
  void dismiss(bool animated, std::function<void()> completion = {});
  std::shared_ptr<UIViewController> presentedViewController() const { return presented_; }
  std::shared_ptr<UIViewController> presentingViewController() const { return presenting_.lock(); }

  // ---- segues

  void performSegue(std::string_view identifier, const std::any& sender);
  // Called before the destination is shown; the default does nothing.
  virtual void prepare(UIStoryboardSegue& segue, const std::any& sender);

  // The next responder: the superview of the view, else the presenting controller, else the parent.
  UIResponder* next() const override;
  UIResponder* ownerResponder() override { return this; }

 protected:
  // How a presented controller shows itself and goes again; the default loads the view and puts it
  // over the presenting controller's window, pinned to its edges (when that is in a window).
  virtual void showPresentation(UIViewController& presenting);
  virtual void hidePresentation();
  // Whether presenting this controller hides the presenting one (it disappears and reappears).
  virtual bool coversPresentingController() const { return true; }
  // Runs after viewDidAppear and the presentation's completion: the moment a dialog is shown to
  // whoever answers it.
  virtual void presentationDidAppear() {}
  // A dialog that was answered: marks it as being dismissed before its handler runs, so that a
  // controller that presents it meanwhile takes it down at once and goes on.
  void beginDismissal() { beingDismissed_ = true; }

 private:
  enum class Appearance { disappeared, appearing, appeared, disappearing };
  void forwardAppearance(bool begin, bool isAppearing, bool animated);

  std::optional<std::string> nibName_;
  const Bundle* nibBundle_ = nullptr;
  UIStoryboard* storyboard_ = nullptr;
  std::shared_ptr<UIView> view_;
  bool loadingView_ = false;
  Appearance appearance_ = Appearance::disappeared;
  bool appearanceAnimated_ = false;
  std::vector<std::shared_ptr<UIViewController>> children_;
  std::weak_ptr<UIViewController> parent_;
  std::shared_ptr<UIViewController> presented_;
  std::weak_ptr<UIViewController> presenting_;
  bool hidPresenting_ = false;
  bool beingDismissed_ = false;  // presenting it made the presenting controller disappear
};
