// cues.cpp — cue operations and their observer.
#include "game/cues.h"

CueObserver cueObserver = nullptr;

IDirectSoundBuffer* CueBuffer(Cue cue) {
  switch (cue) {
    case Cue::Bgm:
      return bgmBuffer;
    case Cue::Get:
      return getBuffer;
    case Cue::Clear:
      return clearBuffer;
    case Cue::Over:
      return overBuffer;
    case Cue::Start:
      return startBuffer;
  }
  return nullptr;
}

const char* CueName(Cue cue) {
  switch (cue) {
    case Cue::Bgm:
      return "bgm";
    case Cue::Get:
      return "get";
    case Cue::Clear:
      return "clear";
    case Cue::Over:
      return "over";
    case Cue::Start:
      return "start";
  }
  return "?";
}

const char* CueOperationName(CueOperation operation) {
  switch (operation) {
    case CueOperation::Loop:
      return "loop";
    case CueOperation::Once:
      return "once";
    case CueOperation::Stop:
      return "stop";
  }
  return "?";
}

namespace {

void Perform(Cue cue, CueOperation operation) {
  if (cueObserver != nullptr) cueObserver(cue, operation);
  IDirectSoundBuffer* buffer = CueBuffer(cue);
  if (buffer == nullptr) return;
  if (operation == CueOperation::Stop) {
    buffer->Stop();
  } else {
    buffer->Play(0, 0, operation == CueOperation::Loop ? DSBPLAY_LOOPING : 0);
  }
}

}  // namespace

void StartCueOnce(Cue cue) { Perform(cue, CueOperation::Once); }
void StartCueLooping(Cue cue) { Perform(cue, CueOperation::Loop); }
void StopCue(Cue cue) { Perform(cue, CueOperation::Stop); }
