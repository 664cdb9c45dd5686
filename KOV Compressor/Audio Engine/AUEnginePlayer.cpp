#include "AUEnginePlayer.h"

#include "AVFoundation/AVAudioSession.h"
#include "Foundation/Bundle.h"
#include "Foundation/Print.h"

AUEnginePlayer::AUEnginePlayer() {
  midiOutBlock_ = [events = midiEvents_](AUEventSampleTime sampleTime, UInt8, NSInteger length,
                                         const UInt8* bytes) -> OSStatus {
    events->push(sampleTime, length, bytes);  // [render] a copy into the fixed queue, nothing more
    return noErr;
  };
  engine_->attach(player_);
}

AUEnginePlayer::~AUEnginePlayer() {
  if (!midiDrain_)
    return;
  // The drain list belongs to the main thread. Until a removal posted from elsewhere runs, the
  // drain reports nothing pending (the player it holds weakly is gone).
  if (DispatchQueue::main().isCurrent())
    LogLines::removeRenderDrain(midiDrain_);
  else
    DispatchQueue::main().async([key = midiDrain_] { LogLines::removeRenderDrain(key); });
}

std::shared_ptr<AVAudioFile> AUEnginePlayer::currentFile() const {
  std::lock_guard lock(fileMutex_);
  return file_;
}

std::optional<URL> AUEnginePlayer::currentFileURL() const {
  std::lock_guard lock(fileMutex_);
  return fileURL_;
}

void AUEnginePlayer::finalize() {
  stop();
  disconnect();
}

void AUEnginePlayer::disconnect() {
  connect(nullptr, [] { print("AUEnginePlayer: Performed audio unit disconnection."); });
}

void AUEnginePlayer::load(const std::optional<URL>& url) {
  loopCount_ = 0;
  print("AUEnginePlayer: Audio file at '" + (url ? url->path() : std::string()) +
        "' was selected for loading into the player.");
  {
    std::lock_guard lock(fileMutex_);
    fileURL_ = url;
  }
  std::shared_ptr<AVAudioFile> opened;
  try {
    if (!url)
      throw NSError(NSCocoaErrorDomain, 4);  // no file
    opened = std::make_shared<AVAudioFile>(*url);
  } catch (const NSError& error) {
    print("AUEnginePlayer::ERROR: Could not create AVAudioFile instance for URL '" +
          (url ? "Optional(" + url->absoluteString() + ")" : std::string("nil")) +
          "'. error: " + error.description() + ".");
    return;
  }
  {
    std::lock_guard lock(fileMutex_);
    file_ = opened;
  }
  if (delegate_)
    delegate_->onFileSelect(url->path());

  auto mixer = engine_->mainMixerNode();
  if (!activeAVAudioUnit_) {
    if (isPlaying_)
      player_->stop();
    engine_->disconnectNodeInput(mixer);
    engine_->connect(player_, mixer, opened->processingFormat());
    print("AUEnginePlayer: The player was connected to the mainMixerNode.");
    if (isPlaying_)
      player_->play();
    return;
  }
  if (isPlaying_)
    player_->stop();
  engine_->disconnectNodeInput(mixer);
  print("AUEnginePlayer: Player was (temporarily) disconnecting from the main mixer.");
  engine_->disconnectNodeInput(activeAVAudioUnit_);
  print("AUEnginePlayer: Audio unit was (temporarily) disconnecting from the player.");
  engine_->connect(player_, activeAVAudioUnit_, nullptr);
  print(std::to_string(opened->processingFormat()->channelCount()));
  print("AUEnginePlayer: Audio unit re-connecting to the player.");
  engine_->connect(activeAVAudioUnit_, mixer, nullptr);
  print("AUEnginePlayer: Audio unit re-connectingto the main mixer.");
  if (isPlaying_)
    player_->play();
}

void AUEnginePlayer::randomizeFile() {
  const int number = std::uniform_int_distribution<int>(1, 80)(random_);
  const std::string name = std::to_string(number);
  const std::optional<URL> url = Bundle::main().url(name, "m4a");
  {
    std::lock_guard lock(fileMutex_);
    fileURL_ = url;
  }
  if (!url) {
    print("AUEnginePlayer::ERROR: The audio file '" + name +
          ".m4a' was not found inside the resource folder for the app.");
    return;
  }
  load(url);
  print(url->path());
  engine_->prepare();
}

void AUEnginePlayer::setSessionActive(bool active) {
  auto& session = AVAudioSession::sharedInstance();
  try {
    session.setCategory(AVAudioSessionCategoryPlayback, AVAudioSessionModeDefault, 0);
    session.setActive(active, 0);
    print("AUEnginePlayer: Audio session was set active.");
  } catch (const NSError& error) {
    print(std::string("AUEnginePlayer::ERROR: Could not set audio session active ") +
          (active ? "true" : "false") + ". system error: " + error.description() + ".");
  }
}

void AUEnginePlayer::start() {
  randomizeFile();
  stateChangeQueue_.sync([this] {
    if (isPlaying_)
      return;
    startPlayingInternal();
    if (!isPlaying_)
      return;  // the failure has been reported; nothing started
    DispatchQueue::main().async([weak = weak_from_this()] {
      print("AUEnginePlayer: Audio engine starting.");
      if (auto self = weak.lock(); self && self->delegate_)
        self->delegate_->onPlayerStateChanged(true);
    });
  });
}

void AUEnginePlayer::startPlayingInternal() {
  setSessionActive(true);
  scheduleEffectLoop();
  auto output = engine_->outputNode();
  engine_->connect(engine_->mainMixerNode(), output, output->outputFormatForBus(0));
  try {
    engine_->start();
    player_->play();
    isPlaying_ = true;
  } catch (const NSError& error) {
    isPlaying_ = false;
    // The pass scheduled above would otherwise wait in front of the next start's.
    player_->stop();
    print("AUEnginePlayer::ERROR: Could not start audio engine. error: " + error.description() + ".");
  }
}

void AUEnginePlayer::scheduleEffectLoop() {
  auto file = currentFile();
  if (!file) {
    print("AUEnginePlayer::ERROR: `file` parameter must not be nil.");
    return;
  }
  // [completion thread] Only hands over to the state queue.
  player_->scheduleFile(file, nullptr, [weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self)
      return;
    self->stateChangeQueue_.async([weak] {
      auto self = weak.lock();
      if (!self || !self->isPlaying_)
        return;
      DispatchQueue::main().async([weak] {
        auto self = weak.lock();
        if (!self)
          return;
        if (self->delegate_)
          self->delegate_->onLoop(self->loopCount_);
        ++self->loopCount_;
        const auto url = self->currentFileURL();
        print("AUEnginePlayer: Current audio file '" + (url ? url->path() : std::string("nil")) +
              "' looped: " + std::to_string(self->loopCount_) + ".");
      });
      self->scheduleEffectLoop();
    });
  });
}

void AUEnginePlayer::stop() {
  stateChangeQueue_.sync([this] {
    if (!isPlaying_)
      return;
    stopPlayingInternal();
    DispatchQueue::main().async([weak = weak_from_this()] {
      print("AUEnginePlayer: Audio engine stopping.");
      if (auto self = weak.lock(); self && self->delegate_)
        self->delegate_->onPlayerStateChanged(false);
    });
  });
}

void AUEnginePlayer::stopPlayingInternal() {
  player_->stop();
  engine_->stop();
  isPlaying_ = false;
  setSessionActive(false);
}

bool AUEnginePlayer::toggle() {
  if (!isPlaying_)
    start();
  else
    stop();
  return isPlaying_;
}

void AUEnginePlayer::resetAudioLoop() {
  auto file = currentFile();
  if (!file) {
    print("AUEnginePlayer: ERROR: There is a problem with the audio file processing format.");
    return;
  }
  engine_->connect(player_, engine_->mainMixerNode(), file->processingFormat());
}

void AUEnginePlayer::connect(std::shared_ptr<AVAudioUnit> avAudioUnit, std::function<void()> completion) {
  print(avAudioUnit
            ? "AUEnginePlayer: A new audio unit will be connected."
            : "AUEnginePlayer::WARNING: Function connect() with argument 'nil' causes disconnection.");
  bool loopStillToReset = true;
  auto mixer = engine_->mainMixerNode();
  if (activeAVAudioUnit_) {
    engine_->disconnectNodeInput(activeAVAudioUnit_);
    engine_->disconnectNodeInput(mixer);
    resetAudioLoop();
    loopStillToReset = false;
    engine_->detach(activeAVAudioUnit_);
    print("AUEnginePlayer: Audio unit was disconnecting and detaching.");
    activeAVAudioUnit_.reset();
  }
  activeAVAudioUnit_ = avAudioUnit;
  auto output = engine_->outputNode();
  engine_->connect(mixer, output, output->outputFormatForBus(0));
  if (isPlaying_)
    player_->pause();
  auto rewired = [&] {
    if (isPlaying_)
      player_->play();
    if (completion)
      completion();
  };

  if (!avAudioUnit) {
    if (loopStillToReset)
      resetAudioLoop();
    rewired();
    print("AUEnginePlayer: The audio unit was set to 'nil'.");
    return;
  }
  auto unit = avAudioUnit->auAudioUnit();
  if (unit && !unit->MIDIOutputNames().empty()) {
    print("AUEnginePlayer: The audio unit reports MIDI output names. Assigning a handling block.");
    unit->setMIDIOutputEventBlock(midiOutBlock_);
    // The events are printed on the main thread, on the main loop's turns that print the render
    // lines: no timer of its own, no wake-up while the effect sends nothing.
    DispatchQueue::main().async([weak = weak_from_this()] {
      auto self = weak.lock();
      if (!self || self->midiDrain_)
        return;
      self->midiDrain_ = LogLines::addRenderDrain(
          [weak, events = self->midiEvents_] { return events->hasPending() && !weak.expired(); },
          [weak] {
            if (auto self = weak.lock())
              self->drainMIDIEvents();
          });
    });
  }
  engine_->attach(avAudioUnit);
  print("AUEnginePlayer: Audio unit was attached.");
  engine_->disconnectNodeInput(mixer);
  if (auto file = currentFile()) {
    engine_->connect(player_, avAudioUnit, file->processingFormat());
    print("AUEnginePlayer: Audio Unit was connected to the player.");
    engine_->connect(avAudioUnit, mixer, file->processingFormat());
    print("AUEnginePlayer: Audio Unit was connected to the main mixer.");
  } else {
    print(
        "AUEnginePlayer::ERROR: There was a problem with the file processing format or the file is nil "
        "(yet).");
  }
  rewired();
}

void AUEnginePlayer::drainMIDIEvents() {
  MIDIOutputEvent event;
  while (midiEvents_->pop(event)) {
    if (event.length != 3)
      print("AUEnginePlayer::WARNING: The MIDI data length is not as expected.");
    std::string line =
        "AUEnginePlayer: MIDI event from audio unit at: " + std::to_string(event.sampleTime) + ", data: ";
    const std::int64_t shown = std::min<std::int64_t>(std::max<std::int64_t>(event.length, 0), 3);
    for (std::int64_t i = 0; i < shown; ++i)
      line += (i ? ", " : "") + std::to_string(event.bytes[i]);
    print(line);
  }
}
