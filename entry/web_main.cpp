// web_main.cpp — the process entry of the program in a web browser.
//
// Chooses the browser host and runs the program on it, recording the
// session when the page address asks (`record=1`, see web_recording.h). The browser has no
// command line and no exit code: when WinMain returns, the page says the
// program has ended and shows its result. An unknown Direct3D profile in
// the page address (`d3d-profile=`) ends it with 2 before the window opens.
// Depends on: entry/run_program.h, entry/device_profile.h, host/web (the
// browser host), the program's WinMain.
#include <cstdlib>

#include "entry/device_profile.h"
#include "entry/recorded_run.h"
#include "entry/run_program.h"
#include "host/web/web_host.h"
#include "host/web/web_recording.h"
#include "sounds.h"

namespace {

// The five cues are 3.3 MB of WAV files but a few kilobytes of code: the
// page makes them with the generator that wrote the shipped files (the
// same bytes), into the working directory where the program opens them.
// A cue that cannot be written is left missing; the program reports it.
void WriteCues() {
  for (const assetgen::WavFile& cue : assetgen::MakeSounds()) {
    std::FILE* f = std::fopen(("/" + cue.name).c_str(), "wb");
    if (f == nullptr) continue;
    const bool written = std::fwrite(cue.bytes.data(), 1, cue.bytes.size(), f) == cue.bytes.size();
    if (std::fclose(f) != 0 || !written) std::remove(("/" + cue.name).c_str());
  }
}

}  // namespace

int main() {
  // Before the host starts its clock: the program's time starts with it.
  WriteCues();
  host::WebHost webHost;
  std::string error;
  if (!entry::CheckDeviceProfile(webHost.DeviceProfile(), &error)) {
    webHost.Ended(2, "d3d-profile: " + error);
    return 2;
  }
  int exitCode = 0;
  if (host::web::RecordingWanted()) {
    // The session goes to the in-memory file system as the program runs,
    // and to the person as a download when it ends.
    if (host::web::FrameHashesWanted()) setenv("VELMORA_FRAME_HASHES", "/frame-hashes.txt", 1);
    exitCode = entry::RunRecording(webHost, "/velmora-session.txt", "web", &error);
    host::web::OfferRecording("/velmora-session.txt", "/frame-hashes.txt");
  } else {
    exitCode = entry::RunProgram(webHost, "");
  }
  webHost.Ended(exitCode);
  return exitCode;
}
