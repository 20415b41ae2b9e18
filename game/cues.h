// cues.h — the three operations the game performs on its sound cues.
//
// Provides: Cue (the five cue buffers by role) and StartCueOnce,
// StartCueLooping and StopCue (Play with reserved 0, priority 0 and flags 0
// or DSBPLAY_LOOPING; Stop), each skipping a buffer that does not exist; and
// an observer that a headless run can set to see every operation, in order,
// without changing what the game does. Results are not tested: a failure
// only silences a cue.
// Depends on: devices/sound.h.
#pragma once

#include "devices/sound.h"

enum class Cue { Bgm, Get, Clear, Over, Start };
enum class CueOperation { Loop, Once, Stop };

// The buffer that holds a cue: bgmBuffer, getBuffer, clearBuffer,
// overBuffer or startBuffer.
IDirectSoundBuffer* CueBuffer(Cue cue);
// "bgm", "get", "clear", "over", "start" and "loop", "once", "stop".
const char* CueName(Cue cue);
const char* CueOperationName(CueOperation operation);

void StartCueOnce(Cue cue);
void StartCueLooping(Cue cue);
void StopCue(Cue cue);

// Called before each operation; null (the default) for none.
using CueObserver = void (*)(Cue cue, CueOperation operation);
extern CueObserver cueObserver;
