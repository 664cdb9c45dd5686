// Storyboards: what stands in for an application's interface descriptions. The interface code
// fills one at start-up (normally UIStoryboard::main()) with a factory for the initial controller
// and one destination factory per segue identifier; the application's launch makes the initial
// controller through it, and performSegue(withIdentifier:sender:) makes segue destinations.
// Controllers come out as if decoded, through their init(coder:) form, with a coder that names
// this storyboard. [main]
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "UIKit/NSCoder.h"

class UIViewController;

class UIStoryboard {
 public:
  using ControllerFactory = std::function<std::shared_ptr<UIViewController>(const NSCoder& coder)>;

  explicit UIStoryboard(std::string name);
  UIStoryboard(const UIStoryboard&) = delete;
  UIStoryboard& operator=(const UIStoryboard&) = delete;

  // The application's main interface ("Main"). [main]
  static UIStoryboard& main();

  // A factory that makes `Controller` through its init(coder:) constructor.
  template <class Controller>
  static ControllerFactory decoding() {
    return [](const NSCoder& coder) -> std::shared_ptr<UIViewController> {
      return std::make_shared<Controller>(coder);
    };
  }

  const std::string& name() const { return name_; }

  // The initial controller, made anew on each call; null when none is set. [main]
  void setInitialViewController(ControllerFactory factory) { initial_ = std::move(factory); }
  std::shared_ptr<UIViewController> instantiateInitialViewController();

  // Segues: identifier -> a factory for the destination. A second registration of an identifier
  // replaces the first. [main]
  void addSegue(std::string identifier, ControllerFactory destination);
  bool hasSegue(std::string_view identifier) const;
  // A new destination for the segue, or null when the identifier is unknown. [main]
  std::shared_ptr<UIViewController> instantiateDestination(std::string_view identifier);

  // Forgets the initial controller and every segue. [main]
  void removeAll();

 private:
  std::string name_;
  ControllerFactory initial_;
  std::map<std::string, ControllerFactory, std::less<>> segues_;
};
