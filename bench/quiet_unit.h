// The effect's audio unit as a host makes it, for the benchmark programs: buses at 48 kHz stereo,
// render resources allocated. What it prints meanwhile (the kernel's parameter lines, the log on
// the main queue) goes to /dev/null. [main]
#pragma once

#include <cstdio>
#include <memory>

#include "AVFoundation/AVAudioFormat.h"
#include "Dispatch/DispatchQueue.h"
#include "KOV_Compressor_Extension_AudioUnit.h"

// Null when the unit could not be allocated.
inline std::shared_ptr<KOV_Compressor_Extension_AudioUnit> makeQuietUnit() {
  std::FILE* saved = stdout;
  stdout = std::fopen("/dev/null", "w");
  const AudioComponentDescription description{FourCC("aumf"), FourCC("kvc1"), FourCC("QFLD"), 2, 0};
  auto unit = std::make_shared<KOV_Compressor_Extension_AudioUnit>(description, 0);
  const auto format = AVAudioFormat::makeStandard(48000.0, 2);
  (*unit->inputBusses())[0]->setFormat(format);
  (*unit->outputBusses())[0]->setFormat(format);
  std::shared_ptr<NSError> error;
  if (!unit->allocateRenderResourcesAndReturnError(&error))
    unit.reset();
  MainLoop::runUntilIdle();
  std::fclose(stdout);
  stdout = saved;
  return unit;
}
