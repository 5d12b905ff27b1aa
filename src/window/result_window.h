#pragma once
// The result window: a fixed-size graphics window that behaves as an 80x25 text screen.

#include <memory>

#include "terminal.h"

// Opens the window (width x height pixels, depth bits per pixel) as a Terminal; nullptr when
// the arguments are out of range or no window can be created. Destroying it closes the window.
std::unique_ptr<Terminal> OpenResultWindow(int width, int height, int depth);
