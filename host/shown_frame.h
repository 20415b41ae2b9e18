// shown_frame.h — the frame a window last showed, kept by the hosts.
//
// Provides: host::SameFrame, whether a presented frame equals the kept one,
// and host::KeepFrame, which keeps a copy of it. A host that already shows
// a picture skips sending it to the window again (the upload is what costs,
// and a game often presents the same picture tick after tick).
// Depends on: the C++ standard library only.
#pragma once

#include <cstdint>
#include <vector>

namespace host {

// Whether `pixels` (rows `pitchBytes` apart) hold the same picture as
// `shown`, a tightly packed frame `shownWidth` pixels wide: the same size
// and every pixel equal. An empty `shown` never matches.
bool SameFrame(const std::vector<uint32_t>& shown, int shownWidth, const uint32_t* pixels, int width, int height,
               int pitchBytes);

// Makes `shown` a tightly packed copy of `pixels`.
void KeepFrame(std::vector<uint32_t>* shown, const uint32_t* pixels, int width, int height, int pitchBytes);

}  // namespace host
