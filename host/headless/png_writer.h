// png_writer.h — writes a captured 32-bit frame as a PNG file.
//
// Provides: host::WritePng. Depends on: stb_image_write (Debian libstb-dev).
// Tools and tests use it to keep frames as golden images or for a person to
// look at.
#pragma once

#include <cstdint>
#include <string>

namespace host {

// Writes `argb` (X8R8G8B8 or A8R8G8B8, top row first, rows `pitchBytes`
// apart) as an 8-bit RGB PNG; alpha is not kept, since frames are opaque.
// Returns false on bad arguments or when the file cannot be written.
bool WritePng(const std::string& path, const uint32_t* argb, int width, int height, int pitchBytes);

}  // namespace host
