// A two-screen application in the shape of the firmware's generated code: views and
// presenters of the screens Alpha and Beta built in the slots of a heap, a model they bind
// to, and a log of what the framework calls, kept without allocating.
#pragma once

#include <cstring>
#include <string>

#include "common/Meta.hpp"
#include "common/Partition.hpp"
#include "gui/User/Mirror.hpp"
#include "mvp/MVPApplication.hpp"
#include "mvp/MVPHeap.hpp"
#include "mvp/Presenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/transitions/NoTransition.hpp"
#include "touchgfx/transitions/SlideTransition.hpp"
#include "touchgfx/widgets/Box.hpp"

namespace mvptest {

// What happened, in order: up to 64 entries of a fixed buffer.
struct Log {
  const char* entries[64];
  int count = 0;
  void add(const char* what) {
    if (count < 64) entries[count++] = what;
  }
  std::string joined() const {
    std::string s;
    for (int i = 0; i < count; ++i) s += std::string(i ? ", " : "") + entries[i];
    return s;
  }
  int countOf(const char* what) const {
    int n = 0;
    for (int i = 0; i < count; ++i) n += std::strcmp(entries[i], what) == 0;
    return n;
  }
};
inline Log log;

class Model;
class ModelListener {
 public:
  virtual ~ModelListener() = default;
  void bind(Model* m) {
    log.add("presenter bound to model");
    model = m;
  }

 protected:
  Model* model = nullptr;
};
class Model {
 public:
  void bind(ModelListener* l) {
    log.add("model bound to presenter");
    listener = l;
  }
  ModelListener* listener = nullptr;
};

// A screen of one colour with a marker box, the Mirror on top when `mirrored`.
template <class Presenter, const char* const* Names>
class LoggingView : public touchgfx::View<Presenter> {
 public:
  static constexpr touchgfx::colortype MARK = 0x00FF00;
  LoggingView(touchgfx::colortype colour, bool mirrored) {
    log.add(Names[0]);
    background.setPosition(0, 0, 272, 480);
    background.setColor(colour);
    marker.setPosition(10, 20, 30, 40);
    marker.setColor(MARK);
    this->add(background);
    this->add(marker);
    mirror.setPosition(0, 0, 272, 480);
    if (mirrored) this->add(mirror);
  }
  ~LoggingView() override { log.add(Names[1]); }
  void setupScreen() override { log.add(Names[2]); }
  void tearDownScreen() override { log.add(Names[3]); }
  void afterTransition() override { log.add(Names[4]); }

  touchgfx::Box background;
  touchgfx::Box marker;
  Mirror mirror;
};

template <const char* const* Names>
class LoggingPresenter : public touchgfx::Presenter, public ModelListener {
 public:
  template <class V>
  explicit LoggingPresenter(V&) {
    log.add(Names[5]);
  }
  ~LoggingPresenter() override { log.add(Names[6]); }
  void activate() override { log.add(Names[7]); }
  void deactivate() override { log.add(Names[8]); }
};

inline constexpr const char* alphaNames[] = {
    "Alpha view built",          "Alpha view destroyed",  "Alpha setupScreen",
    "Alpha tearDownScreen",      "Alpha afterTransition", "Alpha presenter built",
    "Alpha presenter destroyed", "Alpha activate",        "Alpha deactivate"};
inline constexpr const char* betaNames[] = {
    "Beta view built",          "Beta view destroyed",  "Beta setupScreen",
    "Beta tearDownScreen",      "Beta afterTransition", "Beta presenter built",
    "Beta presenter destroyed", "Beta activate",        "Beta deactivate"};

constexpr touchgfx::colortype ALPHA_COLOUR = 0xFF0000, BETA_COLOUR = 0x0000FF;

class ScreenAlphaPresenter : public LoggingPresenter<alphaNames> {
  using LoggingPresenter::LoggingPresenter;
};
class ScreenBetaPresenter : public LoggingPresenter<betaNames> {
  using LoggingPresenter::LoggingPresenter;
};
class ScreenAlphaView : public LoggingView<ScreenAlphaPresenter, alphaNames> {
 public:
  ScreenAlphaView() : LoggingView(ALPHA_COLOUR, mirrored) {}
  inline static bool mirrored = true;
};
class ScreenBetaView : public LoggingView<ScreenBetaPresenter, betaNames> {
 public:
  ScreenBetaView() : LoggingView(BETA_COLOUR, mirrored) {}
  inline static bool mirrored = true;
};

// A transition that reports its tear-down and destruction.
class LoggingTransition : public touchgfx::NoTransition {
 public:
  ~LoggingTransition() override { log.add("transition destroyed"); }
  void tearDown() override { log.add("transition torn down"); }
};

class Heap;

class Application : public touchgfx::MVPApplication {
 public:
  Application(Heap& h, Model& m) : heap(h), model(m) {}
  void gotoAlpha() { request(&Application::gotoAlphaImpl); }
  void gotoBeta() { request(&Application::gotoBetaImpl); }
  void gotoBetaSlide() { request(&Application::gotoBetaSlideImpl); }

 private:
  void request(void (Application::*impl)()) {
    transitionCallback = touchgfx::Callback<Application>(this, impl);
    pendingScreenTransitionCallback = &transitionCallback;
  }
  void gotoAlphaImpl();
  void gotoBetaImpl();
  void gotoBetaSlideImpl();

  Heap& heap;
  Model& model;
  touchgfx::Callback<Application> transitionCallback;
};

class Heap : public touchgfx::MVPHeap {
 public:
  using Views =
      touchgfx::meta::TypeList<ScreenAlphaView,
                               touchgfx::meta::TypeList<ScreenBetaView, touchgfx::meta::Nil> >;
  using Presenters =
      touchgfx::meta::TypeList<ScreenAlphaPresenter,
                               touchgfx::meta::TypeList<ScreenBetaPresenter, touchgfx::meta::Nil> >;
  using Transitions = touchgfx::meta::TypeList<
      LoggingTransition,
      touchgfx::meta::TypeList<touchgfx::SlideTransition<touchgfx::NORTH>, touchgfx::meta::Nil> >;

  Heap() : MVPHeap(presenters, views, transitions, app), app(*this, model) {}

  touchgfx::Partition<Presenters, 1> presenters;
  touchgfx::Partition<Views, 1> views;
  touchgfx::Partition<Transitions, 1> transitions;
  Application app;
  Model model;
};

inline void Application::gotoAlphaImpl() {
  touchgfx::makeTransition<ScreenAlphaView, ScreenAlphaPresenter, LoggingTransition, Model>(
      &currentScreen, &currentPresenter, heap, &currentTransition, &model);
}
inline void Application::gotoBetaImpl() {
  touchgfx::makeTransition<ScreenBetaView, ScreenBetaPresenter, touchgfx::NoTransition, Model>(
      &currentScreen, &currentPresenter, heap, &currentTransition, &model);
}
inline void Application::gotoBetaSlideImpl() {
  touchgfx::makeTransition<ScreenBetaView, ScreenBetaPresenter,
                           touchgfx::SlideTransition<touchgfx::NORTH>, Model>(
      &currentScreen, &currentPresenter, heap, &currentTransition, &model);
}
}  // namespace mvptest
