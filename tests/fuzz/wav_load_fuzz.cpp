// LoadWave on arbitrary bytes: written to a file, loaded into a cue slot on
// a headless sound device, then the buffer is played a little and released.
// No input may crash, hang or read past what the file holds.
#include <dsound.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "devices/main_window.h"
#include "devices/sound.h"
#include "host/headless/headless_host.h"

namespace {

std::string g_path;
void RemoveInputFile() { std::remove(g_path.c_str()); }

struct Harness {
  Harness() {
    host.KeepAudio(false);
    host::SetCurrent(&host);
    mainWindow = reinterpret_cast<HWND>(1);
    InitSound();
    // A memory-backed folder when there is one: the file is rewritten for
    // every input.
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path = std::string(dir) + "/velmora_wav_fuzz_" + std::to_string(getpid()) + ".wav";
    g_path = path;
    std::atexit(RemoveInputFile);
  }
  host::HeadlessHost host;
  std::string path;
  uint64_t now = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* h = new Harness;
  if (soundDevice == nullptr) return 0;
  std::FILE* f = std::fopen(h->path.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size != 0) std::fwrite(data, 1, size, f);
  std::fclose(f);

  IDirectSoundBuffer* cue = nullptr;
  if (LoadWave(&cue, h->path.c_str())) {
    // Whatever was accepted must also mix.
    cue->Play(0, 0, size % 2 != 0 ? DSBPLAY_LOOPING : 0);
    h->now += 3;
    h->host.AdvanceTo(h->now);
    cue->Stop();
  }
  if (cue != nullptr) cue->Release();
  return 0;
}
