// The controller's parameter-tree dump: the console diagnostics of ParameterTreeDump, printed
// each time the controller connects to a unit's tree. Where that part of the editor is not built
// into this library the dump prints nothing, and connecting goes on unchanged. [main]
#include "AudioUnitViewController.h"

#if __has_include("ParameterTreeDump.h")
#include "ParameterTreeDump.h"
#define KOV_HAS_PARAMETER_TREE_DUMP 1
#endif

void AudioUnitViewController::extractParameters(const std::string& name,
                                                const std::shared_ptr<AUParameterGroup>& tree, int level) {
#ifdef KOV_HAS_PARAMETER_TREE_DUMP
  ParameterTreeDump::extractParameters(name, tree, level);
#else
  (void)name;
  (void)tree;
  (void)level;
#endif
}
