/* Graphics framework: the model-view-presenter application. A screen change is asked for by
 * storing a callback as the pending screen transition; it runs at the next transition point
 * (the start of the next frame) and calls makeTransition, which builds the new screen in the
 * static slots of the MVPHeap:
 *
 *   timer widgets forgotten; old transition torn down and destroyed; old view's
 *   tearDownScreen; old presenter's deactivate; old view destroyed, then old presenter;
 *   new transition, view and presenter built in their slots; model and presenter bound to
 *   each other, view bound to its presenter; new view's setupScreen; new presenter's
 *   activate; the transition starts (afterTransition follows once it is done).
 *
 * Nothing is taken from a heap. */
#ifndef TOUCHGFX_MVP_MVPAPPLICATION_HPP
#define TOUCHGFX_MVP_MVPAPPLICATION_HPP

#include <new>

#include "common/AbstractPartition.hpp"
#include "mvp/MVPHeap.hpp"
#include "mvp/Presenter.hpp"
#include "touchgfx/Application.hpp"
#include "touchgfx/Callback.hpp"
#include "touchgfx/Screen.hpp"
#include "touchgfx/transitions/Transition.hpp"

namespace touchgfx {

class MVPApplication : public Application {
 public:
  MVPApplication()
      : Application(), currentPresenter(nullptr), pendingScreenTransitionCallback(nullptr) {}
  ~MVPApplication() override {}

  void handlePendingScreenTransition() override { evaluatePendingScreenTransition(); }

 protected:
  /* Runs the pending screen transition, if one is waiting. A transition asked for while it
   * runs waits for the next transition point. */
  void evaluatePendingScreenTransition() {
    GenericCallback<>* pending = pendingScreenTransitionCallback;
    pendingScreenTransitionCallback = nullptr;
    if (pending != nullptr && pending->isValid()) pending->execute();
  }

  Presenter* currentPresenter;
  GenericCallback<>* pendingScreenTransitionCallback;
};

namespace detail {
/* Tells the board the screen now shown, named after its view type as the compiler spells
 * it in `prettyFunction` (ScreenMainView gives "Main"). */
void reportScreen(const char* prettyFunction);
template <class T>
void reportScreenOf() {
  reportScreen(__PRETTY_FUNCTION__);
}
/* A slot of the heap is too small for a screen's type: the screens' static memory was
 * declared wrong. Halts the calling thread with `what`. */
void heapSlotTooSmall(const char* what);
}  // namespace detail

inline void prepareTransition(Screen** currentScreen, Presenter** currentPresenter,
                              Transition** currentTrans) {
  if (Application* app = Application::getInstance()) app->clearAllTimerWidgets();
  if (*currentTrans != nullptr) {
    (*currentTrans)->tearDown();
    (*currentTrans)->~Transition();
    *currentTrans = nullptr;
  }
  if (*currentScreen != nullptr) (*currentScreen)->tearDownScreen();
  if (*currentPresenter != nullptr) (*currentPresenter)->deactivate();
  if (*currentScreen != nullptr) {
    (*currentScreen)->~Screen();
    *currentScreen = nullptr;
  }
  if (*currentPresenter != nullptr) {
    (*currentPresenter)->~Presenter();
    *currentPresenter = nullptr;
  }
}

inline void finalizeTransition(Screen* newScreen, Presenter* newPresenter,
                               Transition* newTransition) {
  newScreen->setupScreen();
  newPresenter->activate();
  newScreen->bindTransition(*newTransition);
  newTransition->init();
  newTransition->invalidate();
  if (Application* app = Application::getInstance()) app->screenSwitched();
}

template <class ScreenType, class PresenterType, class TransType, class ModelType>
PresenterType* makeTransition(Screen** currentScreen, Presenter** currentPresenter, MVPHeap& heap,
                              Transition** currentTrans, ModelType* model) {
  if (sizeof(ScreenType) > heap.screenStorage.element_size()) {
    detail::heapSlotTooSmall("View allocation error: the view slot is too small");
  }
  if (sizeof(PresenterType) > heap.presenterStorage.element_size()) {
    detail::heapSlotTooSmall("Presenter allocation error: the presenter slot is too small");
  }
  if (sizeof(TransType) > heap.transitionStorage.element_size()) {
    detail::heapSlotTooSmall("Transition allocation error: the transition slot is too small");
  }

  prepareTransition(currentScreen, currentPresenter, currentTrans);

  TransType* newTransition = new (&heap.transitionStorage.at<TransType>(0)) TransType;
  ScreenType* newScreen = new (&heap.screenStorage.at<ScreenType>(0)) ScreenType;
  PresenterType* newPresenter =
      new (&heap.presenterStorage.at<PresenterType>(0)) PresenterType(*newScreen);
  *currentTrans = newTransition;
  *currentPresenter = newPresenter;
  *currentScreen = newScreen;
  model->bind(newPresenter);
  newPresenter->bind(model);
  newScreen->bind(*newPresenter);

  finalizeTransition(newScreen, newPresenter, newTransition);
  detail::reportScreenOf<ScreenType>();
  return newPresenter;
}

}  // namespace touchgfx

#endif
