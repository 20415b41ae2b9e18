// renderer_choice.cpp — the names software GL rasterisers report.
#include "host/sdl/renderer_choice.h"

#include <string>

namespace host::sdl {

bool IsSoftwareRasterizer(const char* glRenderer) {
  if (glRenderer == nullptr) return false;
  const std::string name(glRenderer);
  // Whole words only where a GPU's name could hold the letters too ("LLVM"
  // appears in AMD's strings, which are hardware).
  for (const char* software : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer", "Basic Render Driver"}) {
    if (name.find(software) != std::string::npos) return true;
  }
  return false;
}

}  // namespace host::sdl
