// Errors of the platform layer: a domain, a code and a description. Thrown by
// throwing operations; the entries named "...AndReturnError" catch it and hand it out through
// their error parameter instead.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

inline const std::string NSOSStatusErrorDomain = "NSOSStatusErrorDomain";
inline const std::string NSCocoaErrorDomain = "NSCocoaErrorDomain";
inline const std::string NSPOSIXErrorDomain = "NSPOSIXErrorDomain";

class NSError : public std::exception {
 public:
  NSError(std::string domain, std::int64_t code, std::string localizedDescription = {});

  const std::string& domain() const { return domain_; }
  std::int64_t code() const { return code_; }
  // The description given, or "The operation couldn’t be completed. (<domain> error <code>.)",
  // the domain named "OSStatus" for NSOSStatusErrorDomain and "Cocoa" for NSCocoaErrorDomain.
  std::string localizedDescription() const;
  // "Error Domain=<domain> Code=<code> \"<description>\" UserInfo={NSLocalizedDescription=
  // <description>}" as printing the error shows it; without a description
  // "Error Domain=<domain> Code=<code> \"(null)\"".
  std::string description() const;
  std::string debugDescription() const { return description(); }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::string domain_;
  std::int64_t code_;
  std::string description_;
  std::string what_;
};
