#include "Foundation/NSError.h"

#include <utility>

NSError::NSError(std::string domain, std::int64_t code, std::string localizedDescription)
    : domain_(std::move(domain)), code_(code), description_(std::move(localizedDescription)) {
  what_ = description();
}

std::string NSError::localizedDescription() const {
  if (!description_.empty()) return description_;
  // The platform's generic text; the apostrophe is U+2019 as there.
  return "The operation couldn\u2019t be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::string NSError::description() const {
  std::string text = "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" +
                     localizedDescription() + "\"";
  if (!description_.empty()) text += " UserInfo={NSLocalizedDescription=" + description_ + "}";
  return text;
}
