/* Graphics framework: the presenter of a screen, between its view and the model. */
#ifndef TOUCHGFX_MVP_PRESENTER_HPP
#define TOUCHGFX_MVP_PRESENTER_HPP

namespace touchgfx {

class Presenter {
 public:
  /* After the view's setupScreen, when the screen is entered. */
  virtual void activate() {}
  /* After the view's tearDownScreen, when the screen is left. */
  virtual void deactivate() {}
  virtual ~Presenter() {}
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

 protected:
  Presenter() {}
};

}  // namespace touchgfx

#endif
