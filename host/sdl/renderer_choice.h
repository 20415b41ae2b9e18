// renderer_choice.h — whether presenting through OpenGL pays off.
//
// Provides: telling a software OpenGL rasteriser (Mesa's llvmpipe, softpipe
// and swrast, the Windows-on-Linux basic render driver) from a GPU by the
// GL_RENDERER string. Through such a rasteriser every present runs the
// whole pipeline on the CPU in extra threads; copying the frame into the
// window's own surface shows the same pixels for a fraction of the work.
// Depends on: nothing.
#pragma once

namespace host::sdl {

// True for the GL_RENDERER string of a rasteriser that runs on the CPU.
// Null or empty (unknown) counts as a GPU: the accelerated path stays.
bool IsSoftwareRasterizer(const char* glRenderer);

}  // namespace host::sdl
