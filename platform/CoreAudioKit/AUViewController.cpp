#include "CoreAudioKit/AUViewController.h"

// Out of line, so the class's type information and virtual table live in this library once.
AUViewController::~AUViewController() = default;
