// The editor's console dump of a parameter tree, written each time the editor connects to its
// audio unit: every parameter as a block of labelled lines (address, name, value, option flags
// spelled out, range, unit), indented by one tab per group level. It reads the tree and prints;
// it changes nothing.
//
// Lines go to standard output through print(), whole lines, in order. Where a line has two
// items they are joined by one blank, as the runtime's print joins its arguments, so exactly two
// blanks stand between a label (which ends in a blank) and its value.
//
// Threads: the thread that connects the editor [main]; the tree's values are read through the
// tree, so the audio unit's value provider answers.
#pragma once

#include <memory>
#include <string>

#include "AudioToolbox/AUParameters.h"

class ParameterTreeDump {
 public:
  // Walks the groups among `tree`'s children in order: for each group, first every parameter of
  // its allParameters at level + 1, then the group itself at level + 1. Parameters standing
  // directly in `tree` are passed over, so one nested in subgroups is printed once per group on
  // its path. `name` names the group being walked and is not printed. An absent tree prints
  // "ExtensionViewController: The parameter group has no children.".
  static void extractParameters(const std::string& name, const std::shared_ptr<AUParameterGroup>& tree,
                                int level);
  // The block of one parameter, preceded by an empty line.
  static void printParameter(const AUParameter& parameter, int level);
  // A header line, then one line per option flag whose mask is wholly set in `flags`.
  static void verboseFlags(AudioUnitParameterOptions flags, int level);
  // The name of a unit ("generic" ... "customUnit"; "unknown parameter kind" from 27 on).
  static std::string verboseParameterKind(AudioUnitParameterUnit kind);
};
