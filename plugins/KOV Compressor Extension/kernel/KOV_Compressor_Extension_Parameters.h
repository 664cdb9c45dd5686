// The effect's parameter tree: the twelve parameters of the table in KOVCompressorParameters.h,
// in one group "kGlobalParameters" ("KOV Compressor Global"), tied to the kernel adapter:
// every value set on the tree reaches the kernel, every value read from the tree comes from the
// kernel, and the tree gives the display text of a value.
//
// Threads: made once on the thread that creates the audio unit [main]. The tree's callbacks run
// on whatever thread sets or reads a value through the tree [any]; they call the adapter
// directly, without a lock (its values are atomics).
#pragma once

#include <memory>
#include <vector>

#include "AudioToolbox/AUParameters.h"

class KOV_Compressor_ExtensionDSPKernelAdapter;
class KOV_Compressor_Extension_AudioUnit;

class KOV_Compressor_Extension_Parameters {
 public:
  // Builds the tree with the table's defaults, hands the twelve defaults to the adapter in
  // address order, then installs the value observer, the value provider and the
  // string-from-value callback (in that order). The callbacks keep the adapter alive. [main]
  explicit KOV_Compressor_Extension_Parameters(
      std::shared_ptr<KOV_Compressor_ExtensionDSPKernelAdapter> kernelAdapter);

  // Nothing assigns it; held weakly so that it could never keep a unit alive through its tree.
  std::weak_ptr<KOV_Compressor_Extension_AudioUnit> unit;
  // An empty tree until the constructor replaces it with the built one.
  std::shared_ptr<AUParameterTree> parameterTree = std::make_shared<AUParameterTree>();

 private:
  void createParameters();

  std::vector<std::shared_ptr<AUParameterGroup>> groups;
};
