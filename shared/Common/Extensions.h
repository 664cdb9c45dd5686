// The toolkit's extensions in one include: logging on the main queue, four-character code
// text, view, name and colour helpers, paths and folders, image loading, the capitals list.
#pragma once

#include "Capitals.h"
#include "FourCharCode.h"
#include "ImageLoading.h"
#include "Logging.h"
#include "Paths.h"
#include "ViewExtensions.h"
