/* Graphics framework: the static memory of the screens: one partition for presenters, one
 * for views (screens), one for transitions, and the application. */
#ifndef TOUCHGFX_MVP_MVPHEAP_HPP
#define TOUCHGFX_MVP_MVPHEAP_HPP

#include "common/AbstractPartition.hpp"

namespace touchgfx {

class MVPApplication;

class MVPHeap {
 public:
  MVPHeap(AbstractPartition& pres, AbstractPartition& scr, AbstractPartition& tra,
          MVPApplication& app)
      : presenterStorage(pres),
        screenStorage(scr),
        transitionStorage(tra),
        frontendApplication(app) {}
  virtual ~MVPHeap() {}
  MVPHeap(const MVPHeap&) = delete;
  MVPHeap& operator=(const MVPHeap&) = delete;

  AbstractPartition& presenterStorage;
  AbstractPartition& screenStorage;
  AbstractPartition& transitionStorage;
  MVPApplication& frontendApplication;
};

}  // namespace touchgfx

#endif
