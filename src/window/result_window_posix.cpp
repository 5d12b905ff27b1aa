#include "result_window.h"

#include <SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <mutex>
#include <vector>

#include "font8x8.h"
#include "keys.h"
#include "text_screen.h"
#include "window_terminal.h"

namespace {

// The SDL functions the window calls. SDL is loaded only when a window is to be shown: linked
// in, it loaded some fifty libraries into every run, which took 15 of the 23 ms of a run's
// start.
// One list, laid out by hand.
// clang-format off
#define SDL_FUNCTIONS(F) \
  F(SetHint) F(Init) F(GetCurrentVideoDriver) F(Quit) F(CreateWindow) F(DisableScreenSaver) \
  F(StartTextInput) F(RaiseWindow) F(PollEvent) F(Delay) F(CloseAudioDevice) F(DestroyWindow) \
  F(GetWindowSurface) F(LockSurface) F(ConvertPixels) F(UnlockSurface) \
  F(UpdateWindowSurfaceRects) F(InitSubSystem) F(OpenAudioDevice) F(PauseAudioDevice) \
  F(QueueAudio)
// clang-format on

struct SdlFunctions {
#define DECLARE(name) decltype(&SDL_##name) name = nullptr;
  SDL_FUNCTIONS(DECLARE)
#undef DECLARE
};

// SDL's functions, loaded on the first call; null when SDL or one of them is missing.
const SdlFunctions* LoadSdl() {
  static const SdlFunctions* const loaded = []() -> const SdlFunctions* {
    void* library = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    static SdlFunctions functions;
    bool all = true;
#define LOOK_UP(name)                                                                     \
  functions.name = reinterpret_cast<decltype(&SDL_##name)>(dlsym(library, "SDL_" #name)); \
  all = all && functions.name != nullptr;
    SDL_FUNCTIONS(LOOK_UP)
#undef LOOK_UP
    return all ? &functions : nullptr;
  }();
  return loaded;
}

// SDL's functions, once LoadSdl has found them.
const SdlFunctions& Sdl() { return *LoadSdl(); }

// A window is seen only through an X or Wayland display server.
bool HasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

Text ProgramTitle() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return WindowTitle(n > 0 ? Text(path, n) : Text("sceneryreg"), '/');
}

// The numbers keys.h decides on are SDL's.
constexpr int32_t kMask = kSdlScancodeMask;
static_assert(kMask == SDLK_SCANCODE_MASK && kSdlKeypadEnter == SDLK_KP_ENTER &&
              kSdlDelete == SDLK_DELETE && kSdlCtrl == KMOD_CTRL && SDLK_RETURN == '\r' &&
              SDLK_ESCAPE == 27 && SDLK_TAB == '\t' && SDLK_BACKSPACE == '\b');
static_assert(SDLK_LCTRL == (224 | kMask) && SDLK_LSHIFT == (225 | kMask) &&
              SDLK_LALT == (226 | kMask) && SDLK_LGUI == (227 | kMask) &&
              SDLK_RCTRL == (228 | kMask) && SDLK_RSHIFT == (229 | kMask) &&
              SDLK_RALT == (230 | kMask) && SDLK_RGUI == (231 | kMask) &&
              SDLK_MODE == (257 | kMask) && SDLK_CAPSLOCK == (57 | kMask) &&
              SDLK_NUMLOCKCLEAR == (83 | kMask) && SDLK_SCROLLLOCK == (71 | kMask));

// Queues the code page 437 byte of each character of UTF-8 text; one with no such byte still
// counts as a key press and queues "?".
void QueueText(TextScreen& screen, const char* utf8) {
  for (char32_t u : Utf8Characters(utf8)) {
    const int byte = ByteFromUnicode(u);
    QueueKey(screen, byte >= 0 ? byte : '?');
  }
}

class SdlResultWindow : public WindowTerminal {
 public:
  SdlResultWindow(int width, int height) : WindowTerminal(width, height) {}
  ~SdlResultWindow() override { Stop(); }

  bool Open() { return Start(); }

  void Print(const Text& text) override {
    std::lock_guard<std::mutex> hold(lock_);
    bells_ += PrintToScreen(screen_, text);
  }

 private:
  // Every SDL call happens on this thread: SDL wants its video calls on the thread that
  // started it.
  void Run(std::promise<bool>& opened) override {
    if (!HasDisplay() || LoadSdl() == nullptr) {
      opened.set_value(false);
      return;
    }
    // Ctrl+C must still end the program rather than arrive as a quit event.
    Sdl().SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (Sdl().Init(SDL_INIT_VIDEO) != 0) {
      opened.set_value(false);
      return;
    }
    // With no display server SDL falls back to drawing off screen: a window nobody could
    // see, waiting for a key nobody could press.
    const Text driver = Sdl().GetCurrentVideoDriver();
    if (driver == "offscreen" || driver == "dummy") {
      Sdl().Quit();
      opened.set_value(false);
      return;
    }
    SDL_Window* window =
        Sdl().CreateWindow(ProgramTitle().c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                           screen_.width, screen_.height, SDL_WINDOW_SHOWN);
    if (!window) {
      Sdl().Quit();
      opened.set_value(false);
      return;
    }
    Sdl().DisableScreenSaver();
    Sdl().StartTextInput();
    Sdl().RaiseWindow(window);
    opened.set_value(true);

    SDL_AudioDeviceID audio = 0;
    bool sound_tried = false;  // once: a system without sound says so loudly on each attempt
    while (!stop_) {
      int bells = 0;
      {
        std::lock_guard<std::mutex> hold(lock_);
        SDL_Event event;
        while (Sdl().PollEvent(&event)) Handle(event);
        Present(window);
        bells = bells_;
        bells_ = 0;
      }
      if (bells > 0 && !sound_tried) {
        audio = OpenSound();
        sound_tried = true;
      }
      if (bells > 0 && audio) Ring(audio, bells);
      Sdl().Delay(10);
    }
    if (audio) Sdl().CloseAudioDevice(audio);
    Sdl().DestroyWindow(window);
    Sdl().Quit();
  }

  void Handle(const SDL_Event& event) {
    switch (event.type) {
      case SDL_TEXTINPUT: QueueText(screen_, event.text.text); break;
      case SDL_KEYDOWN:
        if (int code = SdlKeyDownCode({event.key.keysym.sym,
                                       static_cast<int32_t>(event.key.keysym.scancode),
                                       event.key.keysym.mod}))
          QueueKey(screen_, code);
        break;
      case SDL_WINDOWEVENT:
        // The close button asks; the window stays until the program ends.
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) QueueKey(screen_, kCloseKey);
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED)
          screen_.dirty_rows.assign(screen_.rows, true);
        break;
      default: break;
    }
  }

  // Copies the changed text rows into the window's surface and shows them.
  void Present(SDL_Window* window) {
    SDL_Surface* surface = Sdl().GetWindowSurface(window);
    if (!surface || surface->w < screen_.width || surface->h < screen_.height) return;
    std::vector<SDL_Rect> rects;
    if (SDL_MUSTLOCK(surface)) Sdl().LockSurface(surface);
    for (int r = 0; r < screen_.rows; ++r) {
      if (!screen_.dirty_rows[r]) continue;
      screen_.dirty_rows[r] = false;
      const int y = 8 * r;
      const uint32_t* from = &screen_.pixels[static_cast<size_t>(y) * screen_.width];
      uint8_t* to = static_cast<uint8_t*>(surface->pixels) + y * surface->pitch;
      Sdl().ConvertPixels(screen_.width, 8, SDL_PIXELFORMAT_RGB888, from, screen_.width * 4,
                          surface->format->format, to, surface->pitch);
      rects.push_back({0, y, screen_.width, 8});
    }
    if (SDL_MUSTLOCK(surface)) Sdl().UnlockSurface(surface);
    if (!rects.empty()) Sdl().UpdateWindowSurfaceRects(window, rects.data(), rects.size());
  }

  // The sound device for bells; 0 when the system has none.
  static SDL_AudioDeviceID OpenSound() {
    if (Sdl().InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
    SDL_AudioSpec want{};
    want.freq = kSoundRate;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 1024;
    const SDL_AudioDeviceID audio = Sdl().OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (audio) Sdl().PauseAudioDevice(audio, 0);
    return audio;
  }

  // A 1000 Hz tone of 250 ms per bell.
  static void Ring(SDL_AudioDeviceID audio, int bells) {
    std::vector<int16_t> tone(static_cast<size_t>(kSoundRate / 4) * bells);
    for (size_t i = 0; i < tone.size(); ++i)
      tone[i] = (i * 1000 * 2 / kSoundRate) % 2 ? 6000 : -6000;
    Sdl().QueueAudio(audio, tone.data(), tone.size() * sizeof tone[0]);
  }

  static constexpr int kSoundRate = 22050;

  int bells_ = 0;  // under lock_: BELs printed but not yet sounded
};

}  // namespace

std::unique_ptr<Terminal> OpenResultWindow(int width, int height, int depth) {
  if (!IsWindowRequest(width, height, depth)) return nullptr;
  auto window = std::make_unique<SdlResultWindow>(width, height);
  if (!window->Open()) return nullptr;
  return window;
}
