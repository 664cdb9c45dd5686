#include "Foundation/internal/FileErrors.h"

#include <cerrno>

namespace file_errors {

namespace {

// The platform's file error codes.
constexpr int kNoSuchFile = 4;
constexpr int kReadUnknown = 256;
constexpr int kReadNoPermission = 257;
constexpr int kReadNoSuchFile = 260;
constexpr int kReadUnsupportedScheme = 262;
constexpr int kWriteUnknown = 512;
constexpr int kWriteNoPermission = 513;
constexpr int kWriteFileExists = 516;
constexpr int kWriteUnsupportedScheme = 518;
constexpr int kWriteOutOfSpace = 640;

std::string lastComponent(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/')
    p.pop_back();
  const auto slash = p.find_last_of('/');
  return slash == std::string::npos || p.size() == 1 ? p : p.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/')
    p.pop_back();
  const auto slash = p.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : p.substr(0, slash);
}

// Names in the platform's texts stand in curly quotation marks (U+201C, U+201D); apostrophes
// are U+2019.
std::string quoted(const std::string& name) {
  return "\u201C" + name + "\u201D";
}

}  // namespace

NSError readError(int error, const std::string& path, bool isFolder) {
  const std::string name = quoted(lastComponent(path));
  switch (error) {
    case ENOENT:
      return isFolder
                 ? NSError(NSCocoaErrorDomain, kReadNoSuchFile, "The folder " + name + " doesn\u2019t exist.")
                 : NSError(NSCocoaErrorDomain, kReadNoSuchFile,
                           "The file " + name + " couldn\u2019t be opened because there is no such file.");
    case EACCES:
    case EPERM:
      return NSError(
          NSCocoaErrorDomain, kReadNoPermission,
          "The file " + name + " couldn\u2019t be opened because you don\u2019t have permission to view it.");
    default:
      return NSError(NSCocoaErrorDomain, kReadUnknown, "The file " + name + " couldn\u2019t be opened.");
  }
}

NSError writeError(int error, const std::string& path) {
  const std::string name = quoted(lastComponent(path));
  const std::string folder = quoted(lastComponent(parentOf(path)));
  switch (error) {
    case ENOENT:
      return NSError(NSCocoaErrorDomain, kNoSuchFile, "The folder " + folder + " doesn\u2019t exist.");
    case EACCES:
    case EPERM:
    case EROFS:
      return NSError(
          NSCocoaErrorDomain, kWriteNoPermission,
          "You don\u2019t have permission to save the file " + name + " in the folder " + folder + ".");
    case EEXIST:
    case ENOTDIR:
      return NSError(NSCocoaErrorDomain, kWriteFileExists,
                     "The file " + name + " couldn\u2019t be saved in the folder " + folder +
                         " because a file with the same name already exists.");
    case ENOSPC:
    case EDQUOT:
      return NSError(NSCocoaErrorDomain, kWriteOutOfSpace,
                     "The file " + name + " couldn\u2019t be saved because there isn\u2019t enough space.");
    default:
      return NSError(NSCocoaErrorDomain, kWriteUnknown,
                     "The file " + name + " couldn\u2019t be saved in the folder " + folder + ".");
  }
}

NSError removeError(int error, const std::string& path) {
  const std::string name = quoted(lastComponent(path));
  if (error == ENOENT)
    return NSError(NSCocoaErrorDomain, kNoSuchFile,
                   name + " couldn\u2019t be removed because it doesn\u2019t exist.");
  if (error == EACCES || error == EPERM || error == EROFS)
    return NSError(NSCocoaErrorDomain, kWriteNoPermission,
                   name + " couldn\u2019t be removed because you don\u2019t have permission to access it.");
  return NSError(NSCocoaErrorDomain, kWriteUnknown, name + " couldn\u2019t be removed.");
}

NSError unsupportedSchemeError(bool writing) {
  return writing
             ? NSError(NSCocoaErrorDomain, kWriteUnsupportedScheme,
                       "The file couldn\u2019t be saved because the specified URL type isn\u2019t supported.")
             : NSError(
                   NSCocoaErrorDomain, kReadUnsupportedScheme,
                   "The file couldn\u2019t be opened because the specified URL type isn\u2019t supported.");
}

}  // namespace file_errors
