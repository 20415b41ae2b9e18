// sound.h — the sound device, the primary buffer and the five cue buffers.
//
// Provides: soundDevice, primaryBuffer and the cue buffers bgmBuffer (game
// music), getBuffer (gem pickup), clearBuffer (cleared jingle), overBuffer
// (missed and game-over jingle), startBuffer (title music); InitSound,
// CreatePrimaryBuffer, LoadWave (one RIFF WAVE file into a static buffer)
// and ReleaseSound. Every global is null until created and after release.
// Depends on: windows.h, mmsystem.h, dsound.h, objbase.h; mainWindow.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

extern IDirectSound8* soundDevice;
extern IDirectSoundBuffer* primaryBuffer;
extern IDirectSoundBuffer* bgmBuffer;
extern IDirectSoundBuffer* getBuffer;
extern IDirectSoundBuffer* clearBuffer;
extern IDirectSoundBuffer* overBuffer;
extern IDirectSoundBuffer* startBuffer;

// COM, the device and its exclusive cooperative level on mainWindow.
BOOL InitSound();
// The primary buffer, set to 44100 Hz, 16-bit, stereo.
BOOL CreatePrimaryBuffer();
// Reads the WAV file `fileName` whole into a new static buffer stored in
// *slot. On a failure after the buffer was created (its Lock) the buffer
// stays in *slot for ReleaseSound.
BOOL LoadWave(IDirectSoundBuffer** slot, LPCSTR fileName);
// Releases the cue buffers, the primary buffer and the device, each only
// if present, then COM. Always TRUE.
BOOL ReleaseSound();
