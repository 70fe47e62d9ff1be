/* Graphics framework: the application object whose tick the frame loop drives. */
#ifndef TOUCHGFX_APPLICATION_HPP
#define TOUCHGFX_APPLICATION_HPP

namespace touchgfx {

class Application {
 public:
  /* The one application, registered by its construction. */
  static Application* getInstance() { return instance; }
  virtual ~Application() = default;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  /* Once per frame, after the display's vertical sync. */
  virtual void handleTickEvent() {}

 protected:
  Application() { instance = this; }

 private:
  static Application* instance;
};

}  // namespace touchgfx

#endif
