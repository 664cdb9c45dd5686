// The interface description an object is decoded from: what init(coder:) receives. Interfaces
// are built in code here, so a coder carries no archive, only the storyboard that asked for the
// object (so that a controller made by a storyboard knows it, and its segues). [main]
#pragma once

class UIStoryboard;

class NSCoder {
 public:
  NSCoder() = default;
  explicit NSCoder(UIStoryboard* storyboard) : storyboard_(storyboard) {}

  // The storyboard decoding the object, or null (not owned).
  UIStoryboard* storyboard() const { return storyboard_; }

 private:
  UIStoryboard* storyboard_ = nullptr;
};
