// Internal to Foundation: the platform's file errors (NSCocoaErrorDomain) for an errno value.
#pragma once

#ifndef KOV_BUILDING_FOUNDATION
#error "Foundation/internal/ is private to the Foundation library"
#endif

#include <string>

#include "Foundation/NSError.h"

namespace file_errors {

// Reading a file or listing a folder failed.
NSError readError(int error, const std::string& path, bool isFolder = false);
// Creating or writing the item at `path` failed.
NSError writeError(int error, const std::string& path);
// Removing the item at `path` failed.
NSError removeError(int error, const std::string& path);
// A URL that is no file URL was given.
NSError unsupportedSchemeError(bool writing);

}  // namespace file_errors
