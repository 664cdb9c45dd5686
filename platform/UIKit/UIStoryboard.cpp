#include "UIKit/UIStoryboard.h"

#include "UIKit/UIViewController.h"

UIStoryboard::UIStoryboard(std::string name) : name_(std::move(name)) {}

UIStoryboard& UIStoryboard::main() {
  static UIStoryboard storyboard("Main");
  return storyboard;
}

std::shared_ptr<UIViewController> UIStoryboard::instantiateInitialViewController() {
  if (!initial_)
    return nullptr;
  return initial_(NSCoder(this));
}

void UIStoryboard::addSegue(std::string identifier, ControllerFactory destination) {
  segues_[std::move(identifier)] = std::move(destination);
}

bool UIStoryboard::hasSegue(std::string_view identifier) const {
  return segues_.find(identifier) != segues_.end();
}

std::shared_ptr<UIViewController> UIStoryboard::instantiateDestination(std::string_view identifier) {
  auto found = segues_.find(identifier);
  if (found == segues_.end() || !found->second)
    return nullptr;
  return found->second(NSCoder(this));
}

void UIStoryboard::removeAll() {
  initial_ = nullptr;
  segues_.clear();
}
