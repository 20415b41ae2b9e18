// replay_main.cpp — velmora-replay: the whole program under the headless
// host, driven by a script, with everything it shows, plays and says kept.
//
// The game's state is process-wide, so one process runs one WinMain. Ticks
// and cue operations are seen through the game's observers, which record and
// change nothing; frames are taken from the host as they are presented.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "entry/device_profile.h"
#include "entry/run_program.h"
#include "game/cues.h"
#include "game/game_state.h"
#include "game/game_tick.h"
#include "host/headless/headless_host.h"
#include "host/headless/png_writer.h"
#include "platform/win32/message_box_style.h"
#include "tools/replay/replay_options.h"
#include "tools/replay/replay_script.h"
#include "tools/replay/replay_trace.h"

namespace fs = std::filesystem;

namespace {

void WriteOutputsAndExit(int toolExit);

// The headless host with a time limit and a copy of the last presented frame.
class ReplayHost : public host::HeadlessHost {
 public:
  std::optional<uint64_t> untilMs;
  std::vector<uint32_t> lastFrame;
  int lastWidth = 0, lastHeight = 0;

  void Present(const uint32_t* pixels, int width, int height, int pitchBytes) override {
    if (pixels != nullptr && width > 0 && height > 0 && pitchBytes >= width * 4) {
      lastFrame.resize(static_cast<size_t>(width) * height);
      const auto* row = reinterpret_cast<const uint8_t*>(pixels);
      for (int y = 0; y < height; ++y) {
        std::memcpy(lastFrame.data() + static_cast<size_t>(y) * width, row + static_cast<size_t>(y) * pitchBytes,
                    static_cast<size_t>(width) * 4);
      }
      lastWidth = width;
      lastHeight = height;
    }
    HeadlessHost::Present(pixels, width, height, pitchBytes);
  }

  void SleepMs(uint32_t ms) override {
    if (untilMs && NowMs() + ms >= *untilMs) {
      AdvanceTo(*untilMs);
      WriteOutputsAndExit(0);
    }
    HeadlessHost::SleepMs(ms);
  }

  // Everything due before the limit runs and nothing due at it: an event
  // or timer at exactly the limit must not wake the program, so the wait
  // ends at the limit's last millisecond before it.
  bool WaitEvent(uint64_t deadlineMs) override {
    if (untilMs && deadlineMs >= *untilMs) {
      const bool ready = *untilMs > 0 && HeadlessHost::WaitEvent(*untilMs - 1);
      if (!ready) {
        AdvanceTo(std::max(*untilMs, NowMs()));
        WriteOutputsAndExit(0);
      }
      return ready;
    }
    return HeadlessHost::WaitEvent(deadlineMs);
  }
};

struct Run {
  replay::ReplayOptions options;
  fs::path out;
  ReplayHost* host = nullptr;  // lives until the process ends
  std::ofstream trace;
  uint64_t tick = 0;
  uint64_t tickStartMs = 0;
  uint64_t framesBefore = 0;
  std::vector<std::pair<std::string, std::string>> cues;
};
Run* run = nullptr;

void OnCue(Cue cue, CueOperation operation) { run->cues.emplace_back(CueName(cue), CueOperationName(operation)); }

bool FrameWanted(uint64_t tick) {
  switch (run->options.frames) {
    case replay::FrameChoice::All:
      return true;
    case replay::FrameChoice::None:
      return false;
    case replay::FrameChoice::Listed:
      return run->options.frameTicks.count(tick) != 0;
  }
  return false;
}

void OnTick(bool ended) {
  if (!ended) {
    ++run->tick;
    run->tickStartMs = run->host->NowMs();
    run->framesBefore = run->host->FrameCount();
    return;
  }
  replay::TickRecord r;
  r.tick = run->tick;
  r.ms = run->tickStartMs;
  r.titleShown = titleShown;
  r.walker[0] = walkerX, r.walker[1] = walkerY;
  r.partner[0] = partnerX, r.partner[1] = partnerY;
  r.stranger[0] = strangerX, r.stranger[1] = strangerY;
  for (int i = 0; i < kGemCount; ++i) {
    r.gems[i][0] = gemX[i];
    r.gems[i][1] = gemY[i];
    r.gems[i][2] = static_cast<float>(gemTaken[i]);
  }
  for (int i = 0; i < kBlockCount; ++i) {
    r.blocks[i][0] = blockX[i];
    r.blocks[i][1] = blockY[i];
  }
  r.score = score;
  r.clearTicks = clearTicks;
  r.missTicks = missTicks;
  r.cues.swap(run->cues);
  run->trace << replay::FormatTickLine(r) << '\n';
  run->trace.flush();

  if (run->host->FrameCount() > run->framesBefore && FrameWanted(run->tick) && !run->host->lastFrame.empty()) {
    const fs::path png = run->out / "frames" / ("tick-" + std::to_string(run->tick) + ".png");
    if (!host::WritePng(png.string(), run->host->lastFrame.data(), run->host->lastWidth, run->host->lastHeight,
                        run->host->lastWidth * 4)) {
      std::cerr << "velmora-replay: cannot write " << png << "\n";
    }
  }
}

void WriteOutputs(std::optional<int> exitCode) {
  run->trace.flush();
  if (!run->host->WriteAudioWav((run->out / "audio.wav").string())) {
    std::cerr << "velmora-replay: cannot write audio.wav\n";
  }
  std::ofstream dialogs(run->out / "dialogs.jsonl", std::ios::binary | std::ios::trunc);
  for (const host::MessageBoxRequest& m : run->host->MessageBoxes()) {
    std::optional<std::string> captionUtf8;
    if (m.captionBytes) captionUtf8 = m.captionUtf8;
    dialogs << replay::FormatDialogLine(m.textUtf8, m.textBytes, captionUtf8, m.captionBytes,
                                         platform::MessageBoxStyleOf(m)) << '\n';
  }
  if (exitCode) {
    std::ofstream code(run->out / "exit-code", std::ios::binary | std::ios::trunc);
    code << *exitCode << '\n';
  }
}

void WriteOutputsAndExit(int toolExit) {
  // The time limit: the program never returned, so there is no exit code.
  WriteOutputs(std::nullopt);
  std::cerr << "velmora-replay: stopped at the time limit, " << run->host->NowMs() << " ms\n";
  std::exit(toolExit);
}

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

// The command line and the script it names; false (after saying why) when
// either cannot be used.
bool ReadInputs(int argc, char** argv, replay::ReplayOptions* options, std::vector<replay::ScriptEvent>* events) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  if (!replay::ParseReplayOptions(args, options, &error)) {
    std::cerr << "velmora-replay: " << error << "\n\n" << replay::ReplayUsage();
    return false;
  }
  if (options->help) return true;
  std::string scriptText;
  if (!ReadFile(options->script, &scriptText)) {
    std::cerr << "velmora-replay: cannot read " << options->script << "\n";
    return false;
  }
  if (!replay::ParseReplayScript(scriptText, events, &error)) {
    std::cerr << "velmora-replay: " << options->script << ": " << error << "\n";
    return false;
  }
  if (options->profile && !entry::CheckDeviceProfile(*options->profile, &error)) {
    std::cerr << "velmora-replay: --profile: " << error << "\n";
    return false;
  }
  return true;
}

// The output folder and the trace file in it, for the run.
bool OpenOutputs(const replay::ReplayOptions& options) {
  std::error_code ec;
  const fs::path out = fs::absolute(options.outDir, ec);
  fs::create_directories(out, ec);
  if (options.frames != replay::FrameChoice::None) fs::create_directories(out / "frames", ec);
  if (ec) {
    std::cerr << "velmora-replay: cannot create " << out << ": " << ec.message() << "\n";
    return false;
  }
  run = new Run();
  run->options = options;
  run->out = out;
  run->trace.open(out / "trace.jsonl", std::ios::binary | std::ios::trunc);
  if (!run->trace) {
    std::cerr << "velmora-replay: cannot write " << (out / "trace.jsonl") << "\n";
    return false;
  }
  return true;
}

// The headless host set up as the options say, the script's input scheduled.
ReplayHost* MakeHost(const replay::ReplayOptions& options, const std::vector<replay::ScriptEvent>& events) {
  auto* h = new ReplayHost();
  h->untilMs = options.untilMs;
  h->KeepFrames(false);
  h->SetCalendarTime(options.calendarTime);
  if (options.profile) h->SetDeviceProfile(*options.profile);
  for (const host::Fault& f : options.faults) h->FailAt(f.call, f.nth);
  for (const replay::ScriptEvent& e : events) {
    switch (e.kind) {
      case replay::EventKind::Key:
        h->ScheduleKey(e.ms, e.key, e.down);
        break;
      case replay::EventKind::Click:
        h->ScheduleClick(e.ms, e.x, e.y);
        break;
      case replay::EventKind::DoubleClick:
        h->ScheduleDoubleClick(e.ms, e.x, e.y);
        break;
      case replay::EventKind::Close:
        h->ScheduleClose(e.ms);
        break;
    }
  }
  return h;
}

}  // namespace

int main(int argc, char** argv) {
  replay::ReplayOptions options;
  std::vector<replay::ScriptEvent> events;
  if (!ReadInputs(argc, argv, &options, &events)) return 2;
  if (options.help) {
    std::cout << replay::ReplayUsage();
    return 0;
  }
  if (!OpenOutputs(options)) return 2;
  ReplayHost* h = MakeHost(options, events);
  run->host = h;
  std::error_code ec;
  const fs::path cwd = options.cwd ? fs::path(*options.cwd) : fs::read_symlink("/proc/self/exe", ec).parent_path();
  fs::current_path(cwd, ec);
  if (ec) {
    std::cerr << "velmora-replay: cannot enter " << cwd << ": " << ec.message() << "\n";
    return 2;
  }

  tickObserver = OnTick;
  cueObserver = OnCue;
  const int exitCode = entry::RunProgram(*h, "");
  tickObserver = nullptr;
  cueObserver = nullptr;

  WriteOutputs(exitCode);
  return 0;
}
