// The window's process (window.h): SDL's events become the board's inputs, the board's
// picture, lights and controls become the device's face, the speaker's ring becomes sound.
//
// Inputs, as scenario command lines into the board's inbox:
//   mouse on the panel          press X Y (again as it moves), release
//   wheel over the knob, arrows turn N
//   parents' key (click or P)   key parents down / up, held while held
//   power key (click or O)      key power down / up; while the board is off: switch on
//   mono switch, light slider   mono on|off, light VALUE
//   'q'                         keycode 113
//   stick slot                  insert IMAGE (the demo stick, a dropped image, or a dropped
//                               music folder made into an image by the image builder), remove
// While the board is off the controls and the stick change the outside world directly (the
// next life starts with them); touches, turns and key codes reach nothing.
#include "window.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "canvas.h"
#include "device_face.h"
#include "image.h"
#include "sdl_calls.h"
#include "sound_feed.h"
#include "source.h"
#include "stick.h"

#ifndef SHAPEPLAY_FONT_DIR
#define SHAPEPLAY_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif

namespace simwin {
namespace {

// The pipe's words.
constexpr char kReady = 'R', kFailed = 'F', kPowerOn = 'P', kClosed = 'C';

// Sound: 1024-frame buffers; playing starts with 2 of them waiting (the board runs 100 ms
// ahead of the wall clock, so about that much more waits once it plays).
constexpr int kSoundBuffer = 1024;

// The power key held this long cuts the board's supply.
constexpr Uint32 kCutHoldMs = 4000;
constexpr std::size_t kCushion = 2 * kSoundBuffer;
constexpr std::size_t kMost = kCushion + 48000 / 2;

void say(int fd, char word) { (void)!::write(fd, &word, 1); }

std::string baseName(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const std::size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string programDir() {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  buf[n] = '\0';
  return std::filesystem::path(buf).parent_path().string();
}

bool isMp3(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == "mp3";
}

// The tracks the player can find on a stick of this tree: MP3 files in a playback folder of
// a root folder (root folder / playback folder / track).
std::size_t playableTracks(const mkstick::Tree& tree) {
  const auto& nodes = tree.nodes();
  std::size_t count = 0;
  for (int root : nodes[0].children) {
    if (!nodes[root].isDir) continue;
    for (int folder : nodes[root].children) {
      if (!nodes[folder].isDir) continue;
      for (int track : nodes[folder].children) {
        if (!nodes[track].isDir && isMp3(nodes[track].name)) ++count;
      }
    }
  }
  return count;
}

// A folder made into a stick image on a thread of its own, with its progress.
class Builder {
 public:
  ~Builder() {
    if (thread_.joinable()) thread_.join();
  }
  bool busy() const { return busy_.load(); }
  double progress() const {
    const std::uint64_t total = total_.load();
    return total == 0 ? 0.0 : static_cast<double>(done_.load()) / static_cast<double>(total);
  }
  const std::string& folder() const { return folder_; }

  void start(const std::string& folder, const std::string& image) {
    if (thread_.joinable()) thread_.join();
    folder_ = folder;
    image_ = image;
    done_ = 0;
    total_ = 0;
    finished_ = false;
    busy_ = true;
    thread_ = std::thread([this] { run(); });
  }
  // When the build has ended: true once, with the image made or why not.
  bool finished(std::string* image, std::string* error, std::size_t* tracks) {
    if (!finished_.load()) return false;
    thread_.join();
    finished_ = false;
    busy_ = false;
    *image = image_;
    *error = error_;
    *tracks = tracks_;
    return true;
  }

 private:
  void run() {
    mkstick::Tree tree;
    error_ = mkstick::scanFolderFor(folder_, image_, &tree);
    tracks_ = error_.empty() ? playableTracks(tree) : 0;
    if (error_.empty() && tracks_ == 0) {
      const std::string name = baseName(folder_);
      error_ = "no MP3 files where the player looks for them: a folder for each picture, in it " +
               std::string("a folder for each shape, in that the tracks (") + name +
               "/Animals/Dogs/1.mp3).";
    }
    if (error_.empty()) {
      mkstick::ImageOptions options;
      options.progress = [this](std::uint64_t done, std::uint64_t total) {
        done_ = done;
        total_ = total;
      };
      mkstick::Summary summary;
      error_ = mkstick::buildImage(tree, options, image_, &summary);
    }
    finished_ = true;
  }

  std::thread thread_;
  std::string folder_, image_, error_;
  std::size_t tracks_ = 0;
  std::atomic<std::uint64_t> done_{0}, total_{0};
  std::atomic<bool> busy_{false}, finished_{false};
};

struct SoundContext {
  simlink::Link* link = nullptr;
  SoundFeed feed{kCushion, kMost};
};

void soundCallback(void* user, Uint8* stream, int len) {
  auto* s = static_cast<SoundContext*>(user);
  bool on = false;
  {
    simlink::Locked hold(s->link);
    on = s->link->boardOn;
  }
  s->feed.fill(s->link->sound, reinterpret_cast<std::int16_t*>(stream),
               static_cast<std::size_t>(len) / 4, on);
}

class Window {
 public:
  Window(simlink::Link* link, int events) : link_(link), events_(events) {}

  // Opens everything; false with the reason when there is no display.
  bool start(std::string* reason);
  void run();
  void finish();

 private:
  void handle(const SDL_Event& e);
  void mouseDown(int x, int y);
  void mouseMove(int x, int y);
  void mouseUp();
  void turn(int detents);
  void key(const char* which, bool down);
  void powerKey(bool down);
  // A control or the stick: to the board while it is on, else straight to the outside world.
  void control(const std::string& line);
  void dropped(const std::string& path);
  void insertImage(const std::string& path, const std::string& shownAs);
  void tell(const std::string& message, bool trouble);
  void readHook();
  void checkBuilder();
  bool boardOn();
  void draw();

  simlink::Link* link_;
  int events_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  SDL_AudioDeviceID audio_ = 0;
  SoundContext sound_;
  Layout layout_;
  std::unique_ptr<Face> face_;
  std::unique_ptr<Canvas> canvas_;
  FaceState state_;
  std::vector<std::uint8_t> picture_ = std::vector<std::uint8_t>(simlink::kPanelBytes);
  std::uint64_t pictureNumber_ = ~std::uint64_t{0};
  FaceState drawn_;      // what the window shows
  bool exposed_ = true;  // the window needs its picture again

  bool touching_ = false;
  int touchX_ = -1, touchY_ = -1;
  bool sliding_ = false;
  bool keyP_ = false, keyO_ = false, mousePower_ = false, mouseParents_ = false;
  Uint32 powerHeldSince_ = 0;  // the power key went down then (0: not held)
  int offKnob_ = 0;  // turns while the board is off (the knob turns, the board sees nothing)

  Builder builder_;
  std::string tempDir_;
  int images_ = 0;
  std::map<std::string, std::string> imageNames_;  // image made here -> the folder's name
  std::uint32_t messageUntil_ = 0;

  int hook_ = -1;
  std::string hookBuffer_;
  bool quit_ = false;
};

bool Window::start(std::string* reason) {
  if (!simsdl::load(reason)) return false;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    *reason = SDL_GetError();
    return false;
  }
  // Twice the panel's pixels when the screen has room for it.
  int scale = 1, w = 0, h = 0;
  SDL_Rect usable{};
  Layout::size(2, &w, &h);
  if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w >= w && usable.h >= h) scale = 2;
  layout_ = Layout::make(scale);
  window_ = SDL_CreateWindow("shapeplay", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             layout_.width, layout_.height, SDL_WINDOW_SHOWN);
  if (window_ == nullptr) {
    *reason = SDL_GetError();
    return false;
  }
  renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_ != nullptr) {
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                 layout_.width, layout_.height);
  }
  if (texture_ == nullptr) {
    *reason = SDL_GetError();
    return false;
  }
  face_ = std::make_unique<Face>(layout_);
  face_->loadFonts(SHAPEPLAY_FONT_DIR);
  canvas_ = std::make_unique<Canvas>(layout_.width, layout_.height);
  SDL_EventState(SDL_DROPFILE, SDL_ENABLE);

  // The speaker. Without a sound device the board plays on, unheard.
  sound_.link = link_;
  SDL_AudioSpec want{}, have{};
  want.freq = 48000;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kSoundBuffer;
  want.callback = soundCallback;
  want.userdata = &sound_;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0 ||
      (audio_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0)) == 0) {
    std::fprintf(stderr, "shapeplay-sim: no sound (%s): the player runs on without it\n",
                 SDL_GetError());
  } else {
    link_->soundOpen = true;
    SDL_PauseAudioDevice(audio_, 0);
  }

  if (const char* hook = std::getenv("SHAPEPLAY_WINDOW_HOOK")) {
    hook_ = ::open(hook, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }
  return true;
}

bool Window::boardOn() {
  simlink::Locked hold(link_);
  return link_->boardOn;
}

void Window::control(const std::string& line) {
  {
    simlink::Locked hold(link_);
    if (!link_->boardOn) {
      simlink::Outside& o = link_->outside;
      if (line.rfind("mono ", 0) == 0) o.mono = line == "mono on";
      if (line.rfind("light ", 0) == 0) o.light = std::atoi(line.c_str() + 6);
      if (line.rfind("insert ", 0) == 0) {
        const std::string path = line.substr(7);
        std::snprintf(o.stick, sizeof o.stick, "%s", path.c_str());
      }
      if (line == "remove") o.stick[0] = '\0';
      return;
    }
  }
  (void)link_->inbox.post(line);
}

void Window::turn(int detents) {
  if (detents == 0) return;
  if (boardOn()) {
    (void)link_->inbox.post("turn " + std::to_string(detents));
  } else {
    offKnob_ += detents;
  }
}

void Window::key(const char* which, bool down) {
  if (boardOn()) {
    (void)link_->inbox.post(std::string("key ") + which + (down ? " down" : " up"));
    return;
  }
  // A key let go while the board is off (its power was cut while the key was held) is up
  // when the board comes on again.
  if (!down) {
    simlink::Locked hold(link_);
    (std::strcmp(which, "parents") == 0 ? link_->outside.parentsKey : link_->outside.powerKey) =
        false;
  }
}

void Window::powerKey(bool down) {
  powerHeldSince_ = down && boardOn() ? SDL_GetTicks() : 0;
  if (boardOn() || !down) {
    key("power", down);
  } else {
    // The board is off: the key switches it on (and is not held in the new life).
    say(events_, kPowerOn);
  }
}

void Window::mouseDown(int x, int y) {
  state_.pressed = layout_.hit(x, y);
  switch (state_.pressed) {
    case Part::Panel:
      if (!boardOn()) break;
      touching_ = true;
      touchX_ = touchY_ = -1;
      mouseMove(x, y);
      break;
    case Part::ParentsKey:
      mouseParents_ = true;
      key("parents", true);
      break;
    case Part::PowerKey:
      mousePower_ = true;
      powerKey(true);
      break;
    case Part::Mono: control(state_.mono ? "mono off" : "mono on"); break;
    case Part::Light:
      sliding_ = true;
      mouseMove(x, y);
      break;
    case Part::DemoStick: {
      const std::string demo = programDir() + "/demo/demo.img";
      insertImage(demo, "Demo stick");
      break;
    }
    case Part::Eject:
      control("remove");
      tell("The stick is out.", false);
      break;
    default: break;
  }
}

void Window::mouseMove(int x, int y) {
  if (touching_) {
    int px = 0, py = 0;
    layout_.toPanel(x, y, &px, &py);
    if (px != touchX_ || py != touchY_) {
      touchX_ = px;
      touchY_ = py;
      (void)link_->inbox.post("press " + std::to_string(px) + " " + std::to_string(py));
    }
  }
  if (sliding_) {
    const int value = layout_.lightAt(x);
    if (value != state_.light) {
      state_.light = value;
      control("light " + std::to_string(value));
    }
  }
}

void Window::mouseUp() {
  if (touching_) (void)link_->inbox.post("release");
  if (mouseParents_) key("parents", false);
  if (mousePower_) powerKey(false);
  touching_ = sliding_ = mouseParents_ = mousePower_ = false;
  state_.pressed = Part::None;
}

void Window::tell(const std::string& message, bool trouble) {
  state_.message = message;
  state_.messageIsTrouble = trouble;
  messageUntil_ = SDL_GetTicks() + 8000;
  if (trouble) std::fprintf(stderr, "shapeplay-sim: window: %s\n", message.c_str());
}

void Window::insertImage(const std::string& path, const std::string& shownAs) {
  std::string why;
  if (!simusb::checkImage(path, &why)) {
    tell("Cannot use " + baseName(path) + " as a stick: " + why + ". Nothing changed.", true);
    return;
  }
  imageNames_[path] = shownAs;
  control("insert " + path);
  tell(shownAs + " is in.", false);
}

void Window::dropped(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    tell("Cannot read " + baseName(path) + ": " + std::strerror(errno) + ". Nothing changed.",
         true);
    return;
  }
  if (!S_ISDIR(st.st_mode)) {
    insertImage(path, baseName(path));
    return;
  }
  if (builder_.busy()) {
    tell("Still making a stick of " + baseName(builder_.folder()) +
             "; drop the folder again when it is in.",
         true);
    return;
  }
  if (tempDir_.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/shapeplay-window-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      tell("Cannot make a stick: no room for it in " + pattern + ": " + std::strerror(errno) +
               ". Nothing changed.",
           true);
      return;
    }
    tempDir_ = pattern;
  }
  const std::string image = tempDir_ + "/stick-" + std::to_string(++images_) + ".img";
  builder_.start(path, image);
  state_.message.clear();
}

void Window::checkBuilder() {
  state_.building = builder_.busy();
  state_.progress = builder_.progress();
  state_.buildingWhat = baseName(builder_.folder());
  std::string image, error;
  std::size_t tracks = 0;
  if (!builder_.finished(&image, &error, &tracks)) return;
  state_.building = false;
  const std::string name = baseName(builder_.folder());
  if (!error.empty()) {
    tell("Cannot make a stick of " + name + ": " + error + " Nothing changed.", true);
    return;
  }
  insertImage(image, name);
  tell("A stick of " + name + " with " + std::to_string(tracks) +
           (tracks == 1 ? " track is in." : " tracks is in."),
       false);
}

// Test hook: lines "drop PATH" from the file SHAPEPLAY_WINDOW_HOOK names (a FIFO) become
// the drop events SDL delivers when a file or folder is dropped on the window.
void Window::readHook() {
  if (hook_ < 0) return;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(hook_, buf, sizeof buf);
    if (n <= 0) break;
    hookBuffer_.append(buf, static_cast<std::size_t>(n));
  }
  std::size_t nl;
  while ((nl = hookBuffer_.find('\n')) != std::string::npos) {
    const std::string line = hookBuffer_.substr(0, nl);
    hookBuffer_.erase(0, nl + 1);
    if (line.rfind("drop ", 0) != 0) continue;
    const Uint32 id = SDL_GetWindowID(window_);
    SDL_Event e{};
    e.type = SDL_DROPBEGIN;
    e.drop.windowID = id;
    SDL_PushEvent(&e);
    e.type = SDL_DROPFILE;
    e.drop.file = SDL_strdup(line.c_str() + 5);
    SDL_PushEvent(&e);
    e.type = SDL_DROPCOMPLETE;
    e.drop.file = nullptr;
    SDL_PushEvent(&e);
  }
}

void Window::handle(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT: quit_ = true; break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) quit_ = true;
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SHOWN ||
          e.window.event == SDL_WINDOWEVENT_RESTORED) {
        exposed_ = true;
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button == SDL_BUTTON_LEFT) mouseDown(e.button.x, e.button.y);
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.state & SDL_BUTTON_LMASK) mouseMove(e.motion.x, e.motion.y);
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT) mouseUp();
      break;
    case SDL_MOUSEWHEEL: {
      int x = 0, y = 0;
      SDL_GetMouseState(&x, &y);
      if (layout_.hit(x, y) == Part::Knob) {
        const int steps = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        turn(steps);
      }
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const bool down = e.type == SDL_KEYDOWN;
      const SDL_Keycode k = e.key.keysym.sym;
      if (down && (k == SDLK_UP || k == SDLK_RIGHT)) turn(1);
      if (down && (k == SDLK_DOWN || k == SDLK_LEFT)) turn(-1);
      if (e.key.repeat != 0) break;
      if (k == SDLK_p && down != keyP_) {
        keyP_ = down;
        key("parents", down);
      }
      if (k == SDLK_o && down != keyO_) {
        keyO_ = down;
        powerKey(down);
      }
      if (k == SDLK_q && down && boardOn()) (void)link_->inbox.post("keycode 113");
      break;
    }
    case SDL_DROPFILE:
      if (e.drop.file != nullptr) {
        dropped(e.drop.file);
        SDL_free(e.drop.file);
      }
      break;
    default: break;
  }
}

// Draws the face anew when anything on it changed (or the window needs its picture again).
void Window::draw() {
  bool newPicture = false;
  {
    simlink::Locked hold(link_);
    state_.boardOn = link_->boardOn;
    if (link_->pictureNumber != pictureNumber_) {
      pictureNumber_ = link_->pictureNumber;
      std::memcpy(picture_.data(), link_->picture, picture_.size());
      newPicture = true;
    }
    state_.backlight = link_->backlight;
    for (std::size_t i = 0; i < 3; ++i) {
      state_.leds[i] = {link_->leds[i][0], link_->leds[i][1], link_->leds[i][2]};
    }
    const simlink::Outside& o = link_->outside;
    state_.parentsDown = o.parentsKey;
    state_.powerDown = o.powerKey;
    state_.mono = o.mono;
    if (!sliding_) state_.light = o.light < 0 ? 800 : o.light;
    state_.knob = o.knob + offKnob_;
    const std::string stick = o.stick;
    const auto named = imageNames_.find(stick);
    state_.stick = stick.empty()                ? ""
                   : named != imageNames_.end() ? named->second
                                                : baseName(stick);
  }
  if (!state_.boardOn) state_.leds = {};
  if (!state_.message.empty() && SDL_GetTicks() > messageUntil_) state_.message.clear();
  state_.picture = picture_.data();
  if (!newPicture && !exposed_ && state_ == drawn_) return;
  exposed_ = false;
  drawn_ = state_;
  face_->draw(state_, *canvas_);
  SDL_UpdateTexture(texture_, nullptr, canvas_->pixels(), canvas_->width() * 4);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

void Window::run() {
  Uint32 lastDraw = 0;
  while (!quit_ && !link_->runOver.load()) {
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, 5) != 0) {
      handle(e);
      while (!quit_ && SDL_PollEvent(&e) != 0) handle(e);
    }
    readHook();
    checkBuilder();
    // The power key held long cuts the supply, as a hung device's owner would.
    if (powerHeldSince_ != 0 && SDL_GetTicks() - powerHeldSince_ >= kCutHoldMs) {
      powerHeldSince_ = 0;
      if (boardOn()) {
        (void)link_->inbox.post("power cut");
        tell("Power cut (the power key held long).", false);
      }
    }
    // 60 pictures a second at most.
    const Uint32 now = SDL_GetTicks();
    if (now - lastDraw >= 16) {
      lastDraw = now;
      draw();
    }
  }
  if (quit_) {
    // Closed by the person: the board ends its run (writing the SRAM file back), then the
    // simulator; a board that is off has nothing to end.
    if (boardOn()) (void)link_->inbox.post("quit");
    say(events_, kClosed);
  }
}

void Window::finish() {
  if (audio_ != 0) {
    SDL_CloseAudioDevice(audio_);
    const SoundFeed& f = sound_.feed;
    std::fprintf(stderr,
                 "shapeplay-sim: sound: %llu under-runs in %llu calls of the sound callback "
                 "(%.1f s played)\n",
                 static_cast<unsigned long long>(f.underruns()),
                 static_cast<unsigned long long>(f.calls()),
                 static_cast<double>(f.framesPlayed()) / 48000.0);
  }
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  SDL_Quit();
  if (!tempDir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(tempDir_, ec);
  }
}

[[noreturn]] void windowProcess(simlink::Link* link, int events) {
  // Never destroyed: a stick still being made when the window closes ends with the process.
  auto* w = new Window(link, events);
  int status = 0;
  std::string reason;
  if (!w->start(&reason)) {
    say(events, kFailed);
    (void)!::write(events, reason.data(), reason.size());
    status = 1;
  } else {
    say(events, kReady);
    w->run();
  }
  w->finish();
  ::close(events);
  std::fflush(nullptr);
  ::_exit(status);
}

}  // namespace

bool open(simlink::Link* link, Handle* handle, std::string* reason) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    *reason = std::strerror(errno);
    return false;
  }
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    *reason = std::strerror(errno);
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (pid == 0) {
    ::close(fds[0]);
    windowProcess(link, fds[1]);
  }
  ::close(fds[1]);
  handle->pid = pid;
  handle->events = fds[0];
  handle->link = link;
  char word = 0;
  ssize_t n;
  while ((n = ::read(fds[0], &word, 1)) < 0 && errno == EINTR) {
  }
  if (n == 1 && word == kReady) return true;
  // The window could not open: its process says why and ends.
  reason->clear();
  char buf[512];
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
    reason->append(buf, static_cast<std::size_t>(n));
  if (reason->empty()) *reason = "the window's process ended";
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  handle->pid = -1;
  handle->events = -1;
  return false;
}

void poll(Handle* handle, int timeoutMs, int alsoFd) {
  if (handle->events < 0) return;
  pollfd fds[2] = {{handle->events, POLLIN, 0}, {alsoFd, POLLIN, 0}};
  const int n = ::poll(fds, alsoFd >= 0 ? 2 : 1, timeoutMs);
  if (n <= 0 || (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
  char words[64];
  const ssize_t got = ::read(handle->events, words, sizeof words);
  if (got <= 0) {
    // The window's process has gone: as good as closed.
    ::close(handle->events);
    handle->events = -1;
    handle->closed = true;
    return;
  }
  for (ssize_t i = 0; i < got; ++i) {
    if (words[i] == kClosed) handle->closed = true;
    if (words[i] == kPowerOn) handle->powerOnAsked = true;
  }
}

void close(Handle* handle) {
  if (handle->pid < 0) return;
  handle->link->runOver = true;
  if (handle->events >= 0) ::close(handle->events);
  int status = 0;
  while (::waitpid(handle->pid, &status, 0) < 0 && errno == EINTR) {
  }
  handle->pid = -1;
  handle->events = -1;
}

}  // namespace simwin
