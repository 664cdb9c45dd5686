#include "UIKit/UIStoryboardSegue.h"

#include "UIKit/UIViewController.h"

UIStoryboardSegue::UIStoryboardSegue(std::optional<std::string> identifier,
                                     std::shared_ptr<UIViewController> source,
                                     std::shared_ptr<UIViewController> destination)
    : identifier_(std::move(identifier)), source_(std::move(source)), destination_(std::move(destination)) {}

UIStoryboardSegue::~UIStoryboardSegue() = default;

void UIStoryboardSegue::perform() {
  if (source_ && destination_)
    source_->present(destination_, true);
}
