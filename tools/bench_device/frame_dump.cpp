// device_frame_dump — writes the benchmark's frame, as the software device
// draws it under each capability profile, to PNG files for a person to look
// at: device_frame_<profile>.png in the working directory (or the folder
// given as the first argument).
#include <cstdio>
#include <string>

#include "host/headless/headless_host.h"
#include "gfx/formats/frame_png.h"
#include "tools/bench_device/frame_scene.h"

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? std::string(argv[1]) + "/" : std::string();
  int failures = 0;
  for (const char* profile : {"default", "pow2", "noblend", "untransformed"}) {
    host::HeadlessHost host;
    host::SetCurrent(&host);
    {
      benchdevice::DeviceFrame frame(&host, profile);
      if (!frame.ok()) {
        std::fprintf(stderr, "%s: device set-up failed\n", profile);
        ++failures;
      } else {
        frame.Render();
        const auto pixels = frame.Pixels();
        const std::string path = dir + "device_frame_" + profile + ".png";
        if (!gfx::WriteFramePng(path, pixels.data(), benchdevice::kFrameWidth, benchdevice::kFrameHeight,
                            benchdevice::kFrameWidth * 4)) {
          std::fprintf(stderr, "%s: cannot write %s\n", profile, path.c_str());
          ++failures;
        } else {
          std::printf("%s\n", path.c_str());
        }
      }
    }
    host::SetCurrent(nullptr);
  }
  return failures == 0 ? 0 : 1;
}
