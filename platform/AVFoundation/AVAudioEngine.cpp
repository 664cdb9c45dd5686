#include "AVFoundation/AVAudioEngine.h"

#include <algorithm>

AVAudioEngine::~AVAudioEngine() {
  for (auto& node : nodes_) node->engine_.reset();
}

void AVAudioEngine::attachNode(const std::shared_ptr<AVAudioNode>& node) {
  if (!node) return;
  auto current = node->engine_.lock();
  if (current.get() == this) return;
  if (current) current->detachNode(node);
  nodes_.push_back(node);
  node->engine_ = weak_from_this();
}

void AVAudioEngine::detachNode(const std::shared_ptr<AVAudioNode>& node) {
  auto it = std::find(nodes_.begin(), nodes_.end(), node);
  if (it == nodes_.end()) return;
  (*it)->engine_.reset();
  nodes_.erase(it);
}
