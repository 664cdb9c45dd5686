// The main screen's interface, built in code in place of an interface description:
//
//   view (MainScreenView, dark; places everything from its bounds)
//   ├─ bar          56 pt along the top
//   ├─ playButton   "Play"  ┐ one place at the bar's left   → onPlayButton(_:)
//   ├─ stopButton   "Stop"  ┘ (one shown at a time)         → onStopButton(_:)
//   ├─ buttonUnit   "Unit", beside them                     → onButtonUnit(_:)
//   ├─ title label  "KOV Compressor", centred in the bar
//   ├─ buttonInfo   "Info"                                  → segue "ShowInfo"
//   ├─ buttonHelp   "Help", at the bar's right              → showHelp(_:)
//   └─ pluginView   the editor container, filling the rest of the window with a 12 pt margin
//
// Actions hold the screen weakly (the view tree must not keep its controller alive).
#include <any>
#include <functional>
#include <memory>

#include "MainScreenView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "ViewController.h"

namespace {

constexpr CGRect initialFrame(0, 0, 1024, 768);  // until the window pins the view
constexpr UIColor backColour(0.10, 0.10, 0.11, 1);
constexpr UIColor barColour(0.16, 0.17, 0.19, 1);
constexpr UIColor textColour(0.93, 0.93, 0.95, 1);
constexpr UIColor playColour(0.55, 0.86, 0.55, 1);
constexpr UIColor stopColour(0.96, 0.55, 0.50, 1);

std::shared_ptr<UIButton> makeButton(UIView& parent, const char* title, const UIColor& colour,
                                     const char* identifier) {
  auto button = UIButton::make(UIButtonType::system,
                               CGRect(0, 0, MainScreenView::buttonWidth, MainScreenView::buttonHeight));
  button->setTitle(title);
  button->setTitleColor(colour);
  button->setFont(UIFont::systemFont(17));
  button->setAccessibilityIdentifier(identifier);
  parent.addSubview(button);
  return button;
}

// Binds `action` to the button's touch-up-inside, holding the screen weakly.
void bind(UIButton& button, const std::weak_ptr<ViewController>& screen,
          void (ViewController::*action)(const std::any&)) {
  button.addTarget(
      [screen, action](UIControl& sender) {
        if (const auto controller = screen.lock())
          (controller.get()->*action)(std::any(&sender));
      },
      UIControlEvents::touchUpInside);
}

}  // namespace

void ViewController::loadView() {
  auto root = MainScreenView::make(initialFrame);
  root->setBackgroundColor(backColour);
  root->setAccessibilityIdentifier("main.view");

  auto bar = UIView::make(CGRect(0, 0, initialFrame.size.width, MainScreenView::barHeight));
  bar->setBackgroundColor(barColour);
  root->addSubview(bar);

  auto container = UIView::make(MainScreenView::containerFrame(initialFrame));
  // No colour of its own: the editor paints all of it, and an empty container shows the screen.
  container->setAccessibilityIdentifier("main.plugin");
  root->addSubview(container);

  auto play = makeButton(*root, "Play", playColour, "main.play");
  auto stop = makeButton(*root, "Stop", stopColour, "main.stop");
  auto unit = makeButton(*root, "Unit", textColour, "main.unit");
  auto info = makeButton(*root, "Info", textColour, "main.info");
  auto help = makeButton(*root, "Help", textColour, "main.help");

  auto title = UILabel::make();
  title->setText("KOV Compressor");
  title->setTextColor(textColour);
  title->setFont(UIFont::systemFont(18));
  title->setTextAlignment(NSTextAlignment::center);
  root->addSubview(title);

  root->bar = bar;
  root->transport[0] = play;
  root->transport[1] = stop;
  root->unit = unit;
  root->title = title;
  root->info = info;
  root->help = help;
  root->container = container;
  setView(root);

  // Outlets, as the interface description connects them.
  pluginView = container;
  playButton = play;
  stopButton = stop;
  buttonUnit = unit;
  buttonInfo = info;
  buttonHelp = help;

  // Actions, and the info button's segue, which the interface starts itself.
  const std::weak_ptr<ViewController> screen = self();
  bind(*play, screen, &ViewController::onPlayButton);
  bind(*stop, screen, &ViewController::onStopButton);
  bind(*unit, screen, &ViewController::onButtonUnit);
  bind(*help, screen, &ViewController::showHelp);
  info->addTarget(
      [screen](UIControl& sender) {
        if (const auto controller = screen.lock())
          controller->performSegue("ShowInfo", std::any(&sender));
      },
      UIControlEvents::touchUpInside);
}
