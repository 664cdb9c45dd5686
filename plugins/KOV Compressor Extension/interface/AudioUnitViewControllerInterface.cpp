// The editor's interface, built in code: the view tree, the fifteen outlets, the actions of the
// three side controls and the five gesture recognisers.
//
//   view (EditorRootView, dark, sized by the host)
//   ├─ pluginView           the panel's container, placed and moved by the controller
//   │  ├─ pluginFrame       background plate  ┐
//   │  ├─ mainView          compressor panel  ├ each pinned to pluginView's edges
//   │  └─ displayView       gauge (no touches)┘
//   ├─ infoView ⊃ infoMessage   overlay, centred, hidden until showInfo
//   ├─ contrastButton, freezeButton   top left, drawn at half strength (off)
//   └─ brightnessSlider     beside them, hidden; 0...1 starting at the plate's grey
//
// Every recogniser sits on the controller's view, so the gestures work on the panel and in the
// margins around it. The pan, taps and long press leave the touched view its touches (a panel
// control keeps its drag; the controller's lock keeps the pan from moving the panel meanwhile);
// a pinch takes them. The single tap waits for the double tap to fail; the long press needs
// 0.5 s within 10 points and does not begin while a knob, button or the mode holds the touch (a
// knob held still before its drag is the knob's). [main]
#include <algorithm>
#include <cmath>
#include <numbers>

#include "AudioUnitViewController.h"
#include "EditorRootView.h"
#include "KOVPanelControls.h"
#include "ViewExtensions.h"

namespace {

constexpr CGRect kInitialBounds{0, 0, 1024, 680};
constexpr CGRect kCanvas{0, 0, 512, 340};
constexpr CGFloat kControlSize = 36;
constexpr CGFloat kMargin = 12;

// A disc, half filled: contrast.
void drawContrastSymbol(CGContext&, const CGRect& rect, const UIColor& color) {
  const CGFloat d = std::min(rect.width(), rect.height());
  const CGRect disc(rect.midX() - d / 2, rect.midY() - d / 2, d, d);
  UIBezierPath outline = UIBezierPath::ovalIn(disc);
  outline.lineWidth = 2;
  color.setStroke();
  outline.stroke();
  UIBezierPath half;  // the right half, as a polygon close enough to the arc at this size
  const int steps = 24;
  half.move({disc.midX(), disc.minY()});
  for (int i = 1; i <= steps; ++i) {
    const double a = std::numbers::pi * (double(i) / steps - 0.5);
    half.addLine({disc.midX() + d / 2 * std::cos(a), disc.midY() + d / 2 * std::sin(a)});
  }
  half.close();
  color.setFill();
  half.fill();
}

// A padlock: freeze.
void drawFreezeSymbol(CGContext&, const CGRect& rect, const UIColor& color) {
  const CGFloat w = rect.width() * 0.7, h = rect.height() * 0.45;
  const CGRect body(rect.midX() - w / 2, rect.maxY() - h, w, h);
  color.setFill();
  UIBezierPath::roundedRect(body, 3).fill();
  UIBezierPath shackle;
  const CGFloat sw = w * 0.6, top = rect.minY() + 1;
  shackle.move({rect.midX() - sw / 2, body.minY()});
  shackle.addLine({rect.midX() - sw / 2, top + sw / 2});
  shackle.addCurve({rect.midX() + sw / 2, top + sw / 2}, {rect.midX() - sw / 2, top - sw / 6},
                   {rect.midX() + sw / 2, top - sw / 6});
  shackle.addLine({rect.midX() + sw / 2, body.minY()});
  shackle.lineWidth = 2.5;
  color.setStroke();
  shackle.stroke();
}

class LongPressRules : public UIGestureRecognizerDelegate {
 public:
  explicit LongPressRules(std::weak_ptr<KOVCompressorView> panel) : panel_(std::move(panel)) {}
  // Not while the panel holds a touch on a control that edits a parameter (the gauge and the
  // title edit nothing: a long press there still shows the side controls).
  bool gestureRecognizerShouldBegin(UIGestureRecognizer&) override {
    const auto panel = panel_.lock();
    const KOVPanelControl* held = panel ? kov_panel::named(panel->hotspotMode()) : nullptr;
    return held == nullptr || held->address == KOVPanelControl::kNone;
  }

 private:
  std::weak_ptr<KOVCompressorView> panel_;
};

std::shared_ptr<UIButton> makeSideButton(CGFloat x, UIButton::Symbol symbol) {
  auto button = UIButton::make(UIButtonType::system, CGRect(x, kMargin, kControlSize, kControlSize));
  button->setSymbol(std::move(symbol));
  button->setTitleColor(UIColor::white());
  button->setAlpha(0.5);  // off
  return button;
}

}  // namespace

void AudioUnitViewController::loadView() {
  auto root = EditorRootView::make(kInitialBounds);
  root->setBackgroundColor(UIColor::black());
  setView(root);
  const auto target = self();

  pluginView = UIView::make(kCanvas);
  pluginView->setOpaque(false);
  root->addSubview(pluginView);
  pluginFrame = PluginFrameEx::make(kCanvas);
  mainView = KOVCompressorView::make(kCanvas);
  displayView = KOVDynamicsDisplayView::make(kCanvas);
  displayView->setOpaque(false);
  displayView->setUserInteractionEnabled(false);  // it lies over the panel but takes no touches
  for (const std::shared_ptr<UIView>& layer :
       {std::shared_ptr<UIView>(pluginFrame), std::shared_ptr<UIView>(mainView),
        std::shared_ptr<UIView>(displayView)}) {
    pluginView->addSubview(layer);
    pinToSuperviewEdges(*layer);
  }

  infoView = UIView::make({0, 0, 360, 120});
  infoView->setBackgroundColor(UIColor::white(0.1, 0.85));
  infoView->setOpaque(false);
  infoView->setUserInteractionEnabled(false);
  infoView->setHidden(true);
  infoMessage = UILabel::make({16, 12, 328, 96});
  infoMessage->setTextColor(UIColor::white());
  infoMessage->setFont(UIFont::systemFont(20));
  infoMessage->setTextAlignment(NSTextAlignment::center);
  infoMessage->setNumberOfLines(0);
  infoView->addSubview(infoMessage);
  root->addSubview(infoView);
  root->centred = infoView;

  contrastButton = makeSideButton(kMargin, drawContrastSymbol);
  freezeButton = makeSideButton(2 * kMargin + kControlSize, drawFreezeSymbol);
  brightnessSlider = UISlider::make({3 * kMargin + 2 * kControlSize, kMargin, 220, kControlSize});
  brightnessSlider->setMinimumValue(0);
  brightnessSlider->setMaximumValue(1);
  brightnessSlider->setValue(pluginFrame->contrast);
  brightnessSlider->setHidden(true);
  root->addSubview(contrastButton);
  root->addSubview(freezeButton);
  root->addSubview(brightnessSlider);
  contrastButton->addTarget(target, &AudioUnitViewController::onContrastButton,
                            UIControlEvents::touchUpInside);
  freezeButton->addTarget(target, &AudioUnitViewController::onFreezeButton, UIControlEvents::touchUpInside);
  brightnessSlider->addTarget(target, &AudioUnitViewController::onBrightnessSlider,
                              UIControlEvents::valueChanged);

  panGesture = UIPanGestureRecognizer::make();
  panGesture->setCancelsTouchesInView(false);
  panGesture->addTarget(target, &AudioUnitViewController::onPanGesture);
  pinchGesture = UIPinchGestureRecognizer::make();
  pinchGesture->addTarget(target, &AudioUnitViewController::onPinchGesture);
  doubleTapGesture = UITapGestureRecognizer::make();
  doubleTapGesture->setNumberOfTapsRequired(2);
  doubleTapGesture->setCancelsTouchesInView(false);
  doubleTapGesture->addTarget(target, &AudioUnitViewController::onDoubleTapGesture);
  tapGesture = UITapGestureRecognizer::make();
  tapGesture->setCancelsTouchesInView(false);
  tapGesture->require(doubleTapGesture);
  tapGesture->addTarget(target, &AudioUnitViewController::onTapGesture);
  longPressGesture = UILongPressGestureRecognizer::make();
  longPressGesture->setMinimumPressDuration(0.5);
  longPressGesture->setCancelsTouchesInView(false);
  longPressRules_ = std::make_unique<LongPressRules>(mainView);
  longPressGesture->setDelegate(longPressRules_.get());
  longPressGesture->addTarget(target, &AudioUnitViewController::onlongPressGesture);
  for (const std::shared_ptr<UIGestureRecognizer>& recognizer :
       {std::shared_ptr<UIGestureRecognizer>(panGesture), std::shared_ptr<UIGestureRecognizer>(pinchGesture),
        std::shared_ptr<UIGestureRecognizer>(doubleTapGesture),
        std::shared_ptr<UIGestureRecognizer>(tapGesture),
        std::shared_ptr<UIGestureRecognizer>(longPressGesture)}) {
    root->addGestureRecognizer(recognizer);
  }
}
