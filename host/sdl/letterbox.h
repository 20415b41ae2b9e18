// letterbox.h — where the 800 x 640 client goes in a window of any size.
//
// Provides: the centred, shape-keeping placement of the client in an output
// of some pixel size, the whole-number factor the sharp scaler prescales to
// (nearest) before the last, linear step, and output pixels back to client
// coordinates. Plain arithmetic, checked without a display.
// Depends on: host/host.h (the client size).
#pragma once

#include "host/host.h"

namespace host::sdl {

struct Placement {
  int x = 0, y = 0, width = kClientWidth, height = kClientHeight;  // output pixels
  int prescale = 1;  // largest whole factor that fits, at least 1
};

Placement PlaceClient(int outputWidth, int outputHeight);
// Client coordinates of an output pixel; outside 0..799 x 0..639 when on a bar.
void OutputToClient(const Placement& p, int outX, int outY, int* x, int* y);

}  // namespace host::sdl
