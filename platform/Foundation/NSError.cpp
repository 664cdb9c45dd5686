#include "Foundation/NSError.h"

#include <utility>

NSError::NSError(std::string domain, std::int64_t code, std::string localizedDescription)
    : domain_(std::move(domain)), code_(code), description_(std::move(localizedDescription)) {
  what_ = description();
}

std::string NSError::localizedDescription() const {
  if (!description_.empty())
    return description_;
  // The platform's generic text; the apostrophe is U+2019 as there. Its two own domains go by
  // short names: "(OSStatus error -50.)", "(Cocoa error 3840.)".
  const std::string name = domain_ == NSOSStatusErrorDomain ? "OSStatus"
                           : domain_ == NSCocoaErrorDomain  ? "Cocoa"
                                                            : domain_;
  return "The operation couldn\u2019t be completed. (" + name + " error " + std::to_string(code_) + ".)";
}

// Without a description the platform prints the missing user-info entry as "(null)".
std::string NSError::description() const {
  std::string text = "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" +
                     (description_.empty() ? std::string("(null)") : description_) + "\"";
  if (!description_.empty())
    text += " UserInfo={NSLocalizedDescription=" + description_ + "}";
  return text;
}
