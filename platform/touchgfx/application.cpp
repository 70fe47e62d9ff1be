// The application, screens and transitions: events to the screen shown, the transition's
// steps, the invalidated area of a frame and its drawing with occlusion, and the screen
// names for the board.
#include "touchgfx/Application.hpp"

#include <cstring>

#include "gfx_internal.h"
#include "mvp/MVPApplication.hpp"
#include "simgfx.h"
#include "touchgfx/Screen.hpp"
#include "touchgfx/hal/HAL.hpp"
#include "touchgfx/transitions/SlideTransition.hpp"
#include "touchgfx/transitions/Transition.hpp"
#include "touchgfx/widgets/SnapshotWidget.hpp"

namespace touchgfx {

namespace {

Rect displayRect() {
  return Rect(0, 0, static_cast<int16_t>(HAL::DISPLAY_WIDTH),
              static_cast<int16_t>(HAL::DISPLAY_HEIGHT));
}

// How many pieces one frame's area may be cut into around solid widgets; beyond that the
// rest is drawn without skipping anything.
constexpr int kMaxPieces = 64;

void (*screenHook)(const char* name) = nullptr;

}  // namespace

// ---- Application

Application* Application::instance = nullptr;

Application::Application()
    : currentScreen(nullptr),
      currentTransition(nullptr),
      transitionHandled(true),
      cachedArea(),
      timerWidgets(),
      timerWidgetCount(0) {
  instance = this;
}

Application::~Application() {
  if (instance == this) instance = nullptr;
}

void Application::handleTickEvent() {
  if (currentTransition != nullptr && !transitionHandled) {
    if (!currentTransition->isDone()) currentTransition->handleTickEvent();
    if (currentTransition->isDone()) {
      transitionHandled = true;
      if (currentScreen != nullptr) currentScreen->afterTransition();
    }
  }
  if (currentScreen != nullptr) currentScreen->handleTickEvent();
  for (uint16_t i = 0; i < timerWidgetCount; ++i) timerWidgets[i]->handleTickEvent();
}

void Application::handleClickEvent(const ClickEvent& event) {
  if (currentTransition != nullptr && !currentTransition->isDone()) return;
  if (currentScreen != nullptr) currentScreen->handleClickEvent(event);
}

void Application::handleDragEvent(const DragEvent& event) {
  if (currentTransition != nullptr && !currentTransition->isDone()) return;
  if (currentScreen != nullptr) currentScreen->handleDragEvent(event);
}

void Application::handleKeyEvent(uint8_t c) {
  if (currentScreen != nullptr) currentScreen->handleKeyEvent(c);
}

void Application::draw(Rect& rect) {
  if (currentScreen != nullptr) currentScreen->draw(rect);
}

void Application::drawCachedAreas() {
  if (cachedArea.isEmpty()) return;
  Rect area = cachedArea;
  cachedArea = Rect();
  draw(area);
}

void Application::invalidate() { invalidateArea(displayRect()); }

void Application::invalidateArea(Rect area) { cachedArea.expandToFit(area & displayRect()); }

void Application::registerTimerWidget(Drawable* w) {
  if (w == nullptr || timerWidgetCount >= MAX_TIMER_WIDGETS) return;
  for (uint16_t i = 0; i < timerWidgetCount; ++i) {
    if (timerWidgets[i] == w) return;
  }
  timerWidgets[timerWidgetCount++] = w;
}

void Application::unregisterTimerWidget(const Drawable* w) {
  for (uint16_t i = 0; i < timerWidgetCount; ++i) {
    if (timerWidgets[i] == w) {
      for (uint16_t j = i; j + 1 < timerWidgetCount; ++j) timerWidgets[j] = timerWidgets[j + 1];
      --timerWidgetCount;
      return;
    }
  }
}

void Application::clearAllTimerWidgets() { timerWidgetCount = 0; }

void Application::screenSwitched() { transitionHandled = false; }

// ---- Screen

Screen::Screen() : container(), focus(nullptr) {
  container.setPosition(0, 0, static_cast<int16_t>(HAL::DISPLAY_WIDTH),
                        static_cast<int16_t>(HAL::DISPLAY_HEIGHT));
}

void Screen::draw() {
  Rect r = displayRect();
  draw(r);
}

void Screen::draw(Rect& rect) { startSMOC(rect); }

// The widgets in the area are put on the draw chain (top-most first). Each part of the area
// is drawn by the top-most widget that is solid there and the widgets above it; every widget
// then draws, from the bottom up, once, the smallest rectangle holding its parts. Drawing a
// widget over a part it is not needed in does no harm: a solid widget above it draws that
// part later.
void Screen::startSMOC(const Rect& invalidatedArea) {
  const Rect area = invalidatedArea & container.rect;
  if (area.isEmpty() || !container.isVisible()) return;
  Drawable* head = nullptr;
  container.setupDrawChain(area, container.rect.x, container.rect.y, &head);
  if (head == nullptr) return;
  pieceBudget = kMaxPieces;
  markDrawAreas(area, head, head);
  Drawable* bottom = nullptr;
  while (head != nullptr) {
    Drawable* next = head->nextDrawChainElement;
    head->nextDrawChainElement = bottom;
    bottom = head;
    head = next;
  }
  for (Drawable* d = bottom; d != nullptr; d = d->nextDrawChainElement) {
    if (d->cachedDrawArea.isEmpty()) continue;
    Rect r = d->cachedDrawArea;
    r.x = static_cast<int16_t>(r.x - d->cachedAbsX);
    r.y = static_cast<int16_t>(r.y - d->cachedAbsY);
    d->draw(r);
  }
}

void Screen::markDrawAreas(const Rect& area, Drawable* head, Drawable* from) {
  Drawable* solid = nullptr;
  Rect covered;
  if (--pieceBudget > 0) {
    for (Drawable* d = from; d != nullptr; d = d->nextDrawChainElement) {
      Rect s = d->getSolidRect();
      s.x = static_cast<int16_t>(s.x + d->cachedAbsX);
      s.y = static_cast<int16_t>(s.y + d->cachedAbsY);
      s = s & d->cachedVisibleRect & area;
      if (!s.isEmpty()) {
        solid = d;
        covered = s;
        break;
      }
    }
  }
  Drawable* end = solid != nullptr ? solid->nextDrawChainElement : nullptr;
  const Rect part = solid != nullptr ? covered : area;
  for (Drawable* d = head; d != end; d = d->nextDrawChainElement) {
    d->cachedDrawArea.expandToFit(d->cachedVisibleRect & part);
  }
  if (solid == nullptr) return;
  const Rect rest[4] = {
      Rect(area.x, area.y, area.width, static_cast<int16_t>(covered.y - area.y)),
      Rect(area.x, covered.bottom(), area.width,
           static_cast<int16_t>(area.bottom() - covered.bottom())),
      Rect(area.x, covered.y, static_cast<int16_t>(covered.x - area.x), covered.height),
      Rect(covered.right(), covered.y, static_cast<int16_t>(area.right() - covered.right()),
           covered.height)};
  for (const Rect& r : rest) {
    if (!r.isEmpty()) markDrawAreas(r, head, end);
  }
}

void Screen::handleClickEvent(const ClickEvent& event) {
  if (event.getType() == ClickEvent::PRESSED) {
    focus = nullptr;
    container.getLastChild(event.getX(), event.getY(), &focus);
  }
  if (focus != nullptr) {
    const Rect abs = focus->getAbsoluteRect();
    focus->handleClickEvent(ClickEvent(event.getType(), static_cast<int16_t>(event.getX() - abs.x),
                                       static_cast<int16_t>(event.getY() - abs.y),
                                       event.getForce()));
  }
  if (event.getType() != ClickEvent::PRESSED) focus = nullptr;
}

void Screen::handleDragEvent(const DragEvent& event) {
  if (focus == nullptr) return;
  const Rect abs = focus->getAbsoluteRect();
  focus->handleDragEvent(DragEvent(event.getType(), static_cast<int16_t>(event.getOldX() - abs.x),
                                   static_cast<int16_t>(event.getOldY() - abs.y),
                                   static_cast<int16_t>(event.getNewX() - abs.x),
                                   static_cast<int16_t>(event.getNewY() - abs.y)));
}

void Screen::bindTransition(Transition& trans) { trans.setScreenContainer(container); }

// ---- transitions

void Transition::invalidate() {
  if (Application* app = Application::getInstance()) app->invalidate();
}

namespace detail {

int16_t slideDistance(uint16_t step, uint16_t steps, int16_t total) {
  if (steps == 0 || step >= steps) return total;
  const int64_t left = steps - step;
  const int64_t square = static_cast<int64_t>(steps) * steps;
  return static_cast<int16_t>(total - total * left * left / square);
}

void reportScreen(const char* prettyFunction) {
  if (screenHook == nullptr || prettyFunction == nullptr) return;
  // GCC spells "... [with T = ScreenMainView]", clang "... [T = ScreenMainView]".
  const char* type = std::strstr(prettyFunction, "T = ");
  type = type != nullptr ? type + 4 : prettyFunction;
  std::size_t length = std::strcspn(type, "];,");
  for (std::size_t i = 0; i + 1 < length; ++i) {
    if (type[i] == ':' && type[i + 1] == ':') {
      type += i + 2;
      length -= i + 2;
      i = static_cast<std::size_t>(-1);
    }
  }
  constexpr std::size_t kPrefix = 6;  // "Screen"
  constexpr std::size_t kSuffix = 4;  // "View"
  if (length > kPrefix + kSuffix && std::strncmp(type, "Screen", kPrefix) == 0 &&
      std::strncmp(type + length - kSuffix, "View", kSuffix) == 0) {
    type += kPrefix;
    length -= kPrefix + kSuffix;
  }
  char name[64];
  if (length >= sizeof name) length = sizeof name - 1;
  std::memcpy(name, type, length);
  name[length] = '\0';
  screenHook(name);
}

}  // namespace detail

// ---- the snapshot of a slide

void SnapshotWidget::makeSnapshot() {
  std::memcpy(internal::animationStorage(), internal::canvas(), simgfx::kFrameBytes);
}

void SnapshotWidget::draw(const Rect& invalidatedArea) const {
  if (alpha == 0) return;
  const Rect abs = getAbsoluteRect();
  Rect area = invalidatedArea & Rect(0, 0, rect.width, rect.height);
  area = area & Rect(0, 0, internal::kWidth, internal::kHeight);  // the storage's size
  area.x = static_cast<int16_t>(area.x + abs.x);
  area.y = static_cast<int16_t>(area.y + abs.y);
  area = area & internal::screenRect();
  if (area.isEmpty()) return;
  const std::uint8_t* storage = internal::animationStorage();
  std::uint8_t* canvas = internal::canvas();
  for (int y = area.y; y < area.bottom(); ++y) {
    const std::uint8_t* src =
        storage + (y - abs.y) * internal::kStride + (area.x - abs.x) * internal::kBpp;
    std::uint8_t* dst = canvas + y * internal::kStride + area.x * internal::kBpp;
    if (alpha == 255) {
      std::memcpy(dst, src, static_cast<std::size_t>(area.width) * internal::kBpp);
    } else {
      for (int i = 0; i < area.width * internal::kBpp; ++i)
        dst[i] = internal::blend(dst[i], src[i], alpha);
    }
  }
  internal::canvasDrawn(area);
}

Rect SnapshotWidget::getSolidRect() const {
  if (alpha < 255) return Rect();
  return Rect(0, 0, internal::kWidth, internal::kHeight);
}

}  // namespace touchgfx

namespace simgfx {

void setScreenHook(void (*hook)(const char* name)) { touchgfx::screenHook = hook; }
ScreenHook screenHook() { return touchgfx::screenHook; }

}  // namespace simgfx
