// Path globals with the operation that fills and logs them, and folder creation.
#pragma once

#include <optional>

#include "Foundation/URL.h"

// Set by getPaths(); start absent. [main] (plain globals: write them from one thread)
extern std::optional<URL> documentsURL;
extern std::optional<URL> resourcesURL;
// Never set by the toolkit; for its users.
extern std::optional<URL> sharedURLAudio;
extern std::optional<URL> sharedURLMIDI;

// Sets documentsURL (the user's first documents folder) and resourcesURL (the main bundle's
// resource folder) and logs both through safeprint. [main]
void getPaths();

// True when something exists at the URL's path (a plain file counts) or the folder and its
// missing parents were created; false, with a debugprint line, when creation failed. [any]
bool ensureDirectoryExists(const URL& url);
