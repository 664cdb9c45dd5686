// The help screen's interface, built in code in place of an interface description:
//
//   view (dark, filled by the presentation)
//   ├─ title bar (48 pt, pinned to the top, left and right edges)
//   │  ├─ buttonExit  "Done", at the left   → onButtonExit(_:)
//   │  └─ title label "KOV Compressor Help", centred
//   └─ webView      pinned to the bar's bottom and the other three edges   (outlet, weak)
#include <any>
#include <memory>
#include <vector>

#include "HelpViewController.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIView.h"
#include "WebKit/WKWebView.h"

namespace {

constexpr CGFloat barHeight = 48;
constexpr CGRect initialFrame(0, 0, 800, 600);  // until the presentation pins the view
constexpr UIColor barColour(0.16, 0.17, 0.19, 1);
constexpr UIColor backColour(0.10, 0.10, 0.11, 1);
constexpr UIColor textColour(0.93, 0.93, 0.95, 1);

void pinEdges(UIView& view, UIView& to, CGFloat top, bool pinBottom) {
  view.setTranslatesAutoresizingMaskIntoConstraints(false);
  std::vector<std::shared_ptr<NSLayoutConstraint>> constraints{
      view.topAnchor().constraint(to.topAnchor(), top),
      view.leftAnchor().constraint(to.leftAnchor()),
      view.rightAnchor().constraint(to.rightAnchor()),
  };
  if (pinBottom)
    constraints.push_back(view.bottomAnchor().constraint(to.bottomAnchor()));
  NSLayoutConstraint::activate(constraints);
}

}  // namespace

void HelpViewController::loadView() {
  auto root = UIView::make(initialFrame);
  root->setBackgroundColor(backColour);
  root->setAccessibilityIdentifier("help.view");

  auto bar = UIView::make(CGRect(0, 0, initialFrame.size.width, barHeight));
  bar->setBackgroundColor(barColour);
  root->addSubview(bar);
  pinEdges(*bar, *root, 0, false);

  auto exit = UIButton::make(UIButtonType::system, CGRect(10, 8, 84, barHeight - 16));
  exit->setTitle("Done");
  exit->setTitleColor(textColour);
  exit->setFont(UIFont::systemFont(15));
  exit->setAccessibilityIdentifier("help.exit");
  bar->addSubview(exit);

  auto title = UILabel::make(CGRect(104, 8, initialFrame.size.width - 208, barHeight - 16));
  title->setText("KOV Compressor Help");
  title->setTextColor(textColour);
  title->setFont(UIFont::systemFont(16));
  title->setTextAlignment(NSTextAlignment::center);
  bar->addSubview(title);
  title->setTranslatesAutoresizingMaskIntoConstraints(false);
  NSLayoutConstraint::activate({title->leftAnchor().constraint(bar->leftAnchor(), 104),
                                title->rightAnchor().constraint(bar->rightAnchor(), -104)});

  auto web =
      WKWebView::make(CGRect(0, barHeight, initialFrame.size.width, initialFrame.size.height - barHeight));
  web->setBackgroundColor(UIColor::white());
  web->setAccessibilityIdentifier("help.web");
  root->addSubview(web);
  pinEdges(*web, *root, barHeight, true);

  setView(root);
  // Outlets and the action, as the interface description connects them.
  setWebView(web);
  setButtonExit(exit);
  std::weak_ptr<HelpViewController> weakSelf =
      std::static_pointer_cast<HelpViewController>(shared_from_this());
  exit->addTarget(
      [weakSelf](UIControl& sender) {
        if (auto self = weakSelf.lock())
          self->onButtonExit(std::any(&sender));
      },
      UIControlEvents::touchUpInside);
}
