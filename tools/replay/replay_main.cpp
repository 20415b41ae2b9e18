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
#include "gfx/formats/frame_png.h"
#include "host/record/frame_hashes.h"
#include "host/record/recording_host.h"
#include "host/record/replaying_host.h"
#include "host/record/session.h"
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
  host::record::FrameHashLog* frameLog = nullptr;  // script runs; a session's replaying host logs its own
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
    if (frameLog != nullptr) frameLog->Add(NowMs(), pixels, width, height, pitchBytes);
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
  // The wrappers in front of it, when there are any; they too live until the
  // process ends (a stop ends it from inside the run).
  host::record::ReplayingHost* session = nullptr;
  host::record::RecordingHost* recorder = nullptr;
  host::record::FrameHashLog frameLog;
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
    if (!gfx::WriteFramePng(png.string(), run->host->lastFrame.data(), run->host->lastWidth, run->host->lastHeight,
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

void WriteOutputsAndExit(int toolExit, const std::string& why) {
  // The program never returned, so there is no exit code.
  WriteOutputs(std::nullopt);
  std::cerr << "velmora-replay: " << why << "\n";
  std::exit(toolExit);
}

void WriteOutputsAndExit(int toolExit) {
  WriteOutputsAndExit(toolExit, "stopped at the time limit, " + std::to_string(run->host->NowMs()) + " ms");
}

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

// What drives the run: a script's events, or a recorded session.
struct Input {
  std::vector<replay::ScriptEvent> events;
  host::record::Session session;
};

// The command line, the script or session and the profile name, checked;
// an exit code when the tool is to end at once.
std::optional<int> ReadInput(int argc, char** argv, replay::ReplayOptions* options, Input* input) {
  std::string error;
  if (!replay::ParseReplayOptions(std::vector<std::string>(argv + 1, argv + argc), options, &error)) {
    std::cerr << "velmora-replay: " << error << "\n\n" << replay::ReplayUsage();
    return 2;
  }
  if (options->help) {
    std::cout << replay::ReplayUsage();
    return 0;
  }
  const std::string& path = options->session ? *options->session : options->script;
  std::string text;
  if (!ReadFile(path, &text)) {
    std::cerr << "velmora-replay: cannot read " << path << "\n";
    return 2;
  }
  const bool parsed = options->session ? host::record::ParseSession(text, &input->session, &error)
                                       : replay::ParseReplayScript(text, &input->events, &error);
  if (!parsed) {
    std::cerr << "velmora-replay: " << path << ": " << error << "\n";
    return 2;
  }
  if (!input->session.note.empty()) std::cerr << "velmora-replay: " << path << ": " << input->session.note << "\n";
  if (options->profile && !entry::CheckDeviceProfile(*options->profile, &error)) {
    std::cerr << "velmora-replay: --profile: " << error << "\n";
    return 2;
  }
  return std::nullopt;
}

// The output folder and its trace file; false when they cannot be made.
bool PrepareOutput(const replay::ReplayOptions& options) {
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
  if (!run->trace || !run->frameLog.Open((out / "frame-hashes.txt").string())) {
    std::cerr << "velmora-replay: cannot write in " << out << "\n";
    return false;
  }
  return true;
}

// The headless host as the options set it up, with the script's events due.
ReplayHost* MakeHeadlessHost(const replay::ReplayOptions& options, const Input& input) {
  auto* h = new ReplayHost();
  h->untilMs = options.untilMs;
  h->KeepFrames(false);
  h->SetCalendarTime(options.calendarTime);
  if (options.profile) h->SetDeviceProfile(*options.profile);
  for (const host::Fault& f : options.faults) h->FailAt(f.call, f.nth);
  for (const replay::ScriptEvent& e : input.events) {
    switch (e.kind) {
      case replay::EventKind::Key: h->ScheduleKey(e.ms, e.key, e.down); break;
      case replay::EventKind::Click: h->ScheduleClick(e.ms, e.x, e.y); break;
      case replay::EventKind::DoubleClick: h->ScheduleDoubleClick(e.ms, e.x, e.y); break;
      case replay::EventKind::Close: h->ScheduleClose(e.ms); break;
    }
  }
  return h;
}

// A session's answers in front of the headless host: each recorded clock
// value moves the virtual clock (pulling the audio due), up to the limit.
host::record::ReplayingHost* MakeSessionHost(ReplayHost* inner, const host::record::Session& session) {
  auto* h = new host::record::ReplayingHost(*inner, session);
  h->ForwardDialogs(true);
  h->SetFrameLog(&run->frameLog);
  h->OnClock([inner](uint64_t ms) {
    if (inner->untilMs && ms >= *inner->untilMs) {
      inner->AdvanceTo(*inner->untilMs);
      WriteOutputsAndExit(0);
    }
    inner->AdvanceTo(ms);
  });
  h->OnStop([](const std::string& why, bool ranOut) { WriteOutputsAndExit(ranOut ? 0 : 3, why); });
  return h;
}

bool EnterWorkingFolder(const replay::ReplayOptions& options) {
  std::error_code ec;
  const fs::path cwd = options.cwd ? fs::path(*options.cwd) : fs::read_symlink("/proc/self/exe", ec).parent_path();
  fs::current_path(cwd, ec);
  if (ec) std::cerr << "velmora-replay: cannot enter " << cwd << ": " << ec.message() << "\n";
  return !ec;
}

// A recorder in front of the headless host, writing to `path` (kept open
// until the process ends, so a time limit still leaves a usable file).
host::record::RecordingHost* MakeRecorder(host::Host& inner, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::cerr << "velmora-replay: cannot write " << path << "\n";
    return nullptr;
  }
  return new host::record::RecordingHost(inner, file, {"velmora-replay on the headless host", "replay: velmora-replay --out DIR --session FILE"});
}

// Runs WinMain with the observers attached; the program's exit code.
int RunObserved(host::Host& h) {
  tickObserver = OnTick;
  cueObserver = OnCue;
  const int exitCode = entry::RunProgram(h, "");
  tickObserver = nullptr;
  cueObserver = nullptr;
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  replay::ReplayOptions options;
  Input input;
  if (const std::optional<int> early = ReadInput(argc, argv, &options, &input)) return *early;
  if (!PrepareOutput(options)) return 2;
  run->host = MakeHeadlessHost(options, input);
  host::record::ReplayingHost* session = options.session ? MakeSessionHost(run->host, input.session) : nullptr;
  run->session = session;
  if (session == nullptr) run->host->frameLog = &run->frameLog;
  if (!EnterWorkingFolder(options)) return 2;

  host::record::RecordingHost* recorder = options.record ? MakeRecorder(*run->host, *options.record) : nullptr;
  run->recorder = recorder;
  if (options.record && recorder == nullptr) return 2;

  host::Host* top = run->host;
  if (session != nullptr) top = session;
  if (recorder != nullptr) top = recorder;
  const int exitCode = RunObserved(*top);
  if (recorder != nullptr) recorder->End(exitCode);
  WriteOutputs(exitCode);
  if (session != nullptr) {
    const std::string differs = session->Finish(exitCode);
    if (!differs.empty()) {
      std::cerr << "velmora-replay: " << *options.session << ": " << differs << "\n";
      return 3;
    }
  }
  return 0;
}
