// The application's interface description, in code: the delegate class "AppDelegate" for
// UIApplicationMain, and the main storyboard with the main screen (ViewController) as its
// initial controller and the help screen's segues "ShowHelp" and "ShowInfo". [main; before
// UIApplicationMain]
#pragma once

class UIStoryboard;

void registerMainInterface(UIStoryboard& storyboard);
