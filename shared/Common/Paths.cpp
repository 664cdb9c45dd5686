#include "Paths.h"

#include "Foundation/Bundle.h"
#include "Foundation/FileManager.h"
#include "Foundation/NSError.h"
#include "Logging.h"

std::optional<URL> documentsURL;
std::optional<URL> resourcesURL;
std::optional<URL> sharedURLAudio;
std::optional<URL> sharedURLMIDI;

void getPaths() {
  // The prefix names the editor controller, where these lines were first logged.
  const auto documents = FileManager::defaultManager().urls(SearchPathDirectory::documentDirectory,
                                                            SearchPathDomainMask::userDomainMask);
  documentsURL = documents.empty() ? std::nullopt : std::optional<URL>(documents.front());
  if (documentsURL) {
    safeprint("AudioUnitViewController::getPaths() : Audio Unit's documents path is: " +
              documentsURL->path());
  } else {
    safeprint("AudioUnitViewController::getPaths() : ERROR: Audio Unit's documents path is nil.");
  }

  resourcesURL = Bundle::main().resourceURL();
  if (resourcesURL) {
    safeprint("AudioUnitViewController::getPaths() : Audio Unit's resources path is: " +
              resourcesURL->path());
  } else {
    safeprint("AudioUnitViewController::getPaths() : ERROR: Audio Unit's resources path is nil.");
  }
}

bool ensureDirectoryExists(const URL& url) {
  const FileManager& files = FileManager::defaultManager();
  if (files.fileExists(url.path()))
    return true;
  try {
    files.createDirectory(url, true);
    return true;
  } catch (const NSError& error) {
    debugprint("ensureDirectoryExists() : ERROR: Creating required directory '" + url.path() +
               "' failed: " + error.localizedDescription());
    return false;
  }
}
