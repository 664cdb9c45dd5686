// A transition from one controller to another, made when a segue is performed: it names its
// identifier, source and destination, the source's prepare(for:sender:) sees it before anything
// is shown, and perform() then shows the destination (presented modally, animated). [main]
#pragma once

#include <memory>
#include <optional>
#include <string>

class UIViewController;

class UIStoryboardSegue {
 public:
  UIStoryboardSegue(std::optional<std::string> identifier, std::shared_ptr<UIViewController> source,
                    std::shared_ptr<UIViewController> destination);
  virtual ~UIStoryboardSegue();

  const std::optional<std::string>& identifier() const { return identifier_; }
  const std::shared_ptr<UIViewController>& source() const { return source_; }
  const std::shared_ptr<UIViewController>& destination() const { return destination_; }

  // Presents the destination from the source, animated, without completion. [main]
  virtual void perform();

 private:
  std::optional<std::string> identifier_;
  std::shared_ptr<UIViewController> source_;
  std::shared_ptr<UIViewController> destination_;
};
