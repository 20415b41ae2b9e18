// frame_png.h — 32-bit frames as PNG files through the library's own PNG
// writer.
//
// Provides: gfx::FramePngBytes and gfx::WriteFramePng. Tools and tests use
// them to keep frames as golden images or for a person to look at; the
// asset generator writes its icons through them.
// Depends on: gfx/formats/image_writers.h (EncodePng).
#pragma once

#include <cstdint>
#include <string>

#include "gfx/formats/image_writers.h"

namespace gfx {

// The PNG file of `argb` (X8R8G8B8 or A8R8G8B8, top row first, rows
// `pitchBytes` apart) as 8-bit RGB; alpha is not kept, since frames are
// opaque. False on bad arguments, or in a build without the PNG writer.
bool FramePngBytes(const uint32_t* argb, int width, int height, int pitchBytes, Bytes* out);

// The same, written to `path`; false also when the file cannot be written.
bool WriteFramePng(const std::string& path, const uint32_t* argb, int width, int height, int pitchBytes);

}  // namespace gfx
