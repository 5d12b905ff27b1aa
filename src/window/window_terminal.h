#pragma once
// What the result window is on every platform: a text screen behind one lock, served by a
// thread of its own that owns the platform's window, with keys taken from the screen's queue.

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "terminal.h"
#include "text_screen.h"

// True when a window of width x height pixels and depth bits per pixel can be asked for.
bool IsWindowRequest(int width, int height, int depth);

// The part of a result window that does not depend on the platform.
class WindowTerminal : public Terminal {
 public:
  WindowTerminal(int width, int height);

  // Takes the oldest queued key; while there is none, looks again every 20 ms outside the lock.
  int WaitForKey() override;

 protected:
  // Starts Run on the window thread and waits for its word: false when no window was made.
  bool Start();

  // Ends the window thread and waits for it. Derived destructors call it first, since the
  // thread works on their members.
  void Stop();

  // On the window thread: makes the window, tells opened whether it exists, then serves it
  // until stop_ is set.
  virtual void Run(std::promise<bool>& opened) = 0;

  std::mutex lock_;
  TextScreen screen_;  // under lock_
  std::atomic<bool> stop_{false};

 private:
  std::thread thread_;
};
