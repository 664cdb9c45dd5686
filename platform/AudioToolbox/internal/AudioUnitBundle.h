// Effect bundles: the folder an effect is installed as, "<Name>.aubundle", holding
//   Info.plist   the registration: "CFBundleExecutable" (the module's file name, inside the
//                bundle folder) and "AudioComponents", a list of dictionaries with "type",
//                "subtype", "manufacturer" (four-character texts), "name" (text), "version"
//                (integer, 0xMMMMmmbb) and "flags" (integer, optional, 0 when absent);
//   <module>.so  the shared module, exporting the one entry of AUAudioUnitFactory.h;
//   Resources/   what the module finds through Bundle.main inside it.
// Loading a bundle opens its module at once (so that one that would fail is never listed) and
// tells Bundle which folder is the module's main bundle. Modules are never closed: objects they
// made may outlive every reference the registry keeps.
//
// Threads: [any] off the render thread; the component registry loads bundles under its own
// once-only set-up or on the thread that adds a plug-in folder.
#pragma once

#ifndef KOV_AUDIO_INTERNALS
#error "AudioToolbox/internal/ holds the framework's own headers: link platform_audio_testing to reach them"
#endif

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AudioToolbox/AUAudioUnitFactory.h"
#include "AudioToolbox/CoreAudioTypes.h"

// One component as a bundle registers it.
struct AudioUnitBundleComponent {
  AudioComponentDescription description{};  // flags mask 0
  std::string name;                         // "Manufacturer: Unit name"
  UInt32 version = 0;
};

class AudioUnitBundle {
 public:
  // The bundle folder's extension.
  static constexpr std::string_view folderExtension = ".aubundle";

  // The bundle folders directly inside `folder` (entries with the bundle extension that are
  // folders or links to folders, and links with that extension whose target cannot be reached),
  // in file-name order; none for a missing or unreadable folder.
  static std::vector<std::string> bundlePathsIn(const std::string& folder);
  // The bundle at `bundlePath`; null, with one line on stderr, when it is a link that leads
  // nowhere or loops, its registration cannot be read or lists no valid component, or its module
  // is missing, will not load or lacks the entry. The module file is measured before the loader
  // maps it: one that is no 64-bit shared object of this machine, or whose headers or segments
  // reach past its end (a truncated copy), is refused and never mapped.
  static std::shared_ptr<AudioUnitBundle> load(const std::string& bundlePath);

  const std::string& bundlePath() const { return bundlePath_; }
  const std::vector<AudioUnitBundleComponent>& components() const { return components_; }

  // A new principal class instance from the module's entry (null when it gives none). Lets
  // through what the entry throws. [main]
  std::shared_ptr<AUAudioUnitFactory> makePrincipalClass() const { return entry_(); }

  // The line written for a bundle that is skipped:
  // "AudioComponent: skipped plug-in <path>: <reason>".
  static void logSkipped(std::string_view bundlePath, std::string_view reason);

  AudioUnitBundle(std::string bundlePath, std::vector<AudioUnitBundleComponent> components,
                  AUPrincipalClassEntry entry);

 private:
  std::string bundlePath_;
  std::vector<AudioUnitBundleComponent> components_;
  AUPrincipalClassEntry entry_;
};
