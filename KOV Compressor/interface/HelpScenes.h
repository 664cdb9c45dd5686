// The help screen in the application's storyboard: the segues "ShowHelp" and "ShowInfo" both
// make a HelpViewController (through its init(coder:)); the presenting screen's prepare(for:
// sender:) names the page. [main]
#pragma once

class UIStoryboard;

void registerHelpScenes(UIStoryboard& storyboard);
