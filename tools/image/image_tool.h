// image_tool.h — velmora-image, the image library's command-line face:
//
//   velmora-image info FILE...
//   velmora-image convert IN OUT [--format NAME] [--size WxH]
//                 [--filter none|point|linear|triangle|box] [--mips N]
//
// info prints one line per file (size, depth, levels, format, file format,
// resource type) from its header, then decodes the whole file: one whose
// header reads but whose picture does not load fails with the decoder's
// reason after its line; convert reads IN into a texture through the library's
// file road and writes it with the writer OUT's extension names (.bmp .png
// .jpg .jpeg .tga .dds .ppm). Both run on the headless host's software
// device: no window is shown. Exit codes: 0 success, 1 the library failed
// (its debug lines and the result code go to standard error), 2 usage.
// Depends on: gfx/gfx.h, the headless host, the software Direct3D 9.
#pragma once

#include <iosfwd>

namespace image_tool {

int Run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace image_tool
