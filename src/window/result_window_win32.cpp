#include "result_window.h"

#include <windows.h>

#include <atomic>
#include <future>
#include <mutex>

#include "keys.h"
#include "text_screen.h"
#include "window_terminal.h"

namespace {

const char kClassName[] = "SceneryRegResultWindow";

Text ProgramTitle() {
  char path[127] = "";
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  return WindowTitle(Text(path, n), '\\');
}

// The code page 437 byte of a character typed in the system's ANSI code page.
int CodePage437Byte(WPARAM ansi) {
  const char in = static_cast<char>(ansi);
  wchar_t wide = 0;
  char out = 0;
  if (MultiByteToWideChar(CP_ACP, 0, &in, 1, &wide, 1) != 1 ||
      WideCharToMultiByte(437, 0, &wide, 1, &out, 1, nullptr, nullptr) != 1)
    return static_cast<uint8_t>(in);
  return static_cast<uint8_t>(out);
}

class Win32ResultWindow : public WindowTerminal {
 public:
  Win32ResultWindow(int width, int height) : WindowTerminal(width, height) {}

  ~Win32ResultWindow() override {
    stop_ = true;
    if (window_) PostMessageA(window_, WM_NULL, 0, 0);
    Stop();
  }

  bool Open() { return Start(); }

  void Print(const Text& text) override {
    int bells;
    {
      std::lock_guard<std::mutex> hold(lock_);
      bells = PrintToScreen(screen_, text);
    }
    for (; bells > 0; --bells) Beep(1000, 250);
  }

 private:
  void Run(std::promise<bool>& opened) override {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);

    // No sizing border: the picture is a fixed grid of pixels.
    const DWORD style = WS_OVERLAPPEDWINDOW & ~WS_THICKFRAME;
    RECT outer{0, 0, screen_.width, screen_.height};
    AdjustWindowRect(&outer, style, FALSE);
    const int w = outer.right - outer.left;
    const int h = outer.bottom - outer.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    window_ = CreateWindowA(kClassName, ProgramTitle().c_str(), style, left, top, w, h, nullptr,
                            nullptr, instance, this);
    if (!window_) {
      UnregisterClassA(kClassName, instance);
      opened.set_value(false);
      return;
    }
    // The display stays on while the report waits. This asks for it on behalf of this thread
    // alone, so the request ends with the window, or with the process if it is killed; the
    // session's screen saver setting is never touched, as overlapping runs would restore it
    // wrongly and a killed one never.
    SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED);
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    opened.set_value(true);

    while (!stop_) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      {
        std::lock_guard<std::mutex> hold(lock_);
        HDC dc = GetDC(window_);
        CopyRows(dc, false);
        ReleaseDC(window_, dc);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    DestroyWindow(window_);
    UnregisterClassA(kClassName, instance);
    SetThreadExecutionState(ES_CONTINUOUS);
  }

  // Copies the text rows that changed (or all of them) from the surface to the window.
  void CopyRows(HDC dc, bool all) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = screen_.width;
    info.bmiHeader.biHeight = -8;  // one text row, top line first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    for (int r = 0; r < screen_.rows; ++r) {
      if (!all && !screen_.dirty_rows[r]) continue;
      screen_.dirty_rows[r] = false;
      const int y = 8 * r;
      SetDIBitsToDevice(dc, 0, y, screen_.width, 8, 0, 0, 0, 8,
                        &screen_.pixels[static_cast<size_t>(y) * screen_.width], &info,
                        DIB_RGB_COLORS);
    }
  }

  void Queue(int code) {
    std::lock_guard<std::mutex> hold(lock_);
    QueueKey(screen_, code);
  }

  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
      case WM_CHAR: Queue(CodePage437Byte(wparam)); return 0;
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        // Alt+F4 goes on to become a close request, queued below.
        if (int code = WindowKeyDownCode(static_cast<uint32_t>(wparam), message == WM_SYSKEYDOWN))
          Queue(code);
        break;
      case WM_CLOSE:
        // The program decides when the window goes; closing only answers the wait.
        Queue(kCloseKey);
        return 0;
      case WM_SYSCOMMAND:
        // The grid has one size; maximising would only stretch the frame around it. While the
        // window has the keyboard, the screen saver would only cover the report it waits on.
        if ((wparam & 0xFFF0) == SC_MAXIMIZE || (wparam & 0xFFF0) == SC_SCREENSAVE) return 0;
        break;
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window_, &paint);
        {
          std::lock_guard<std::mutex> hold(lock_);
          CopyRows(dc, true);
        }
        EndPaint(window_, &paint);
        return 0;
      }
      default: break;
    }
    return DefWindowProcA(window_, message, wparam, lparam);
  }

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      auto* self =
          static_cast<Win32ResultWindow*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->window_ = hwnd;
    }
    auto* self = reinterpret_cast<Win32ResultWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return self ? self->Handle(message, wparam, lparam)
                : DefWindowProcA(hwnd, message, wparam, lparam);
  }

  std::atomic<HWND> window_{nullptr};
};

}  // namespace

std::unique_ptr<Terminal> OpenResultWindow(int width, int height, int depth) {
  if (!IsWindowRequest(width, height, depth)) return nullptr;
  auto window = std::make_unique<Win32ResultWindow>(width, height);
  if (!window->Open()) return nullptr;
  return window;
}
