// The screens, presenters and transitions of the application, as lists of types that size
// the heap's slots, and the start screen.
#pragma once

#include "common/Meta.hpp"
#include "gui/common/FrontendApplication.hpp"
#include "gui/screenabout_screen/ScreenAboutView.hpp"
#include "gui/screeneltern_screen/ScreenElternView.hpp"
#include "gui/screeneq_screen/ScreenEQView.hpp"
#include "gui/screenmain_screen/ScreenMainView.hpp"
#include "gui/screenoverview_screen/ScreenOverviewView.hpp"
#include "gui/screenpoweroff_screen/ScreenPowerOffView.hpp"
#include "gui/screenusbda_screen/ScreenUsbDaView.hpp"
#include "gui/screenusbweg_screen/ScreenUsbWegView.hpp"
#include "mvp/MVPHeap.hpp"
#include "touchgfx/transitions/NoTransition.hpp"
#include "touchgfx/transitions/SlideTransition.hpp"

class FrontendHeapBase : public touchgfx::MVPHeap {
 public:
  template <class First, class Next>
  using List = touchgfx::meta::TypeList<First, Next>;
  using Nil = touchgfx::meta::Nil;

  typedef List<
      ScreenMainView,
      List<ScreenOverviewView,
           List<ScreenElternView,
                List<ScreenEQView,
                     List<ScreenAboutView,
                          List<ScreenPowerOffView,
                               List<ScreenUsbDaView, List<ScreenUsbWegView, Nil> > > > > > > >
      GeneratedViewTypes;
  typedef List<
      ScreenMainPresenter,
      List<
          ScreenOverviewPresenter,
          List<ScreenElternPresenter,
               List<ScreenEQPresenter, List<ScreenAboutPresenter,
                                            List<ScreenPowerOffPresenter,
                                                 List<ScreenUsbDaPresenter,
                                                      List<ScreenUsbWegPresenter, Nil> > > > > > > >
      GeneratedPresenterTypes;
  typedef List<touchgfx::NoTransition, List<touchgfx::SlideTransition<touchgfx::NORTH>, Nil> >
      GeneratedTransitionTypes;

  typedef touchgfx::meta::select_type_maxsize<GeneratedViewTypes>::type MaxGeneratedViewSize;
  typedef touchgfx::meta::select_type_maxsize<GeneratedPresenterTypes>::type
      MaxGeneratedPresenterSize;
  typedef touchgfx::meta::select_type_maxsize<GeneratedTransitionTypes>::type
      MaxGeneratedTransitionSize;

  // The screen shown after start-up: the stick-removed screen, until the core says more.
  virtual void gotoStartScreen(FrontendApplication& app) {
    app.gotoScreenUsbWegScreenNoTransition();
  }

 protected:
  FrontendHeapBase(touchgfx::AbstractPartition& presenters, touchgfx::AbstractPartition& views,
                   touchgfx::AbstractPartition& transitions, FrontendApplication& app)
      : touchgfx::MVPHeap(presenters, views, transitions, app) {}
};
