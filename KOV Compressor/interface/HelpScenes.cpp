#include "HelpScenes.h"

#include "HelpViewController.h"
#include "UIKit/UIStoryboard.h"

void registerHelpScenes(UIStoryboard& storyboard) {
  storyboard.addSegue("ShowHelp", UIStoryboard::decoding<HelpViewController>());
  storyboard.addSegue("ShowInfo", UIStoryboard::decoding<HelpViewController>());
}
