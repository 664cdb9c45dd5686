// A minimal audio engine: it holds attached nodes. It is never started or connected here.
// Threads: [main].
#pragma once

#include <memory>
#include <vector>

#include "AVFoundation/AVAudioNode.h"

class AVAudioEngine : public std::enable_shared_from_this<AVAudioEngine> {
 public:
  AVAudioEngine() = default;
  ~AVAudioEngine();
  AVAudioEngine(const AVAudioEngine&) = delete;
  AVAudioEngine& operator=(const AVAudioEngine&) = delete;

  // attachNode: — the engine holds the node; attaching a node that is attached to this engine
  // does nothing; a node attached to another engine is moved here.
  void attachNode(const std::shared_ptr<AVAudioNode>& node);
  // detachNode: — the engine lets the node go; a node not attached here is ignored.
  void detachNode(const std::shared_ptr<AVAudioNode>& node);
  const std::vector<std::shared_ptr<AVAudioNode>>& attachedNodes() const { return nodes_; }
  bool isRunning() const { return false; }

 private:
  std::vector<std::shared_ptr<AVAudioNode>> nodes_;
};
