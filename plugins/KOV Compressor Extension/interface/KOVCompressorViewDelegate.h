// What the compressor panel talks to: the delegate that receives the user's edits, and the part of
// the editor controller the panel drives directly (the gesture lock). The editor controller
// adopts both. [main]
#pragma once

class KOVCompressorViewDelegate {
 public:
  virtual ~KOVCompressorViewDelegate() = default;
  // The user set the parameter at this address to this value. [main]
  virtual void onKOVCompressorViewParameter(int address, float value) = 0;
  // An option changed; the panel never sends it. [main]
  virtual void onKOVCompressorViewOption(int address, float value) = 0;
};

// The editor controller as the panel sees it. While a control is held the panel sets
// touchesLocked, so that a drag on a knob does not also move the panel. [main]
class KOVCompressorViewController {
 public:
  virtual ~KOVCompressorViewController() = default;
  virtual bool touchesLocked() const = 0;
  virtual void setTouchesLocked(bool locked) = 0;
};
