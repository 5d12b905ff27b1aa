#include "window_terminal.h"

#include <chrono>

bool IsWindowRequest(int width, int height, int depth) {
  const bool depth_ok = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
  return width >= 1 && height >= 1 && depth_ok;
}

WindowTerminal::WindowTerminal(int width, int height) : screen_(MakeTextScreen(width, height)) {}

int WindowTerminal::WaitForKey() {
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (int code = TakeKey(screen_)) return code;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool WindowTerminal::Start() {
  std::promise<bool> opened;
  std::future<bool> result = opened.get_future();
  thread_ = std::thread([this, p = std::move(opened)]() mutable { Run(p); });
  return result.get();
}

void WindowTerminal::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}
