// sound.cpp — sound start-up, WAV loading and release.
#include "devices/sound.h"

#include <mmreg.h>
#include <objbase.h>

#include <cstdlib>
#include <cstring>

#include "devices/main_window.h"

IDirectSound8* soundDevice = nullptr;
IDirectSoundBuffer* primaryBuffer = nullptr;
IDirectSoundBuffer* bgmBuffer = nullptr;
IDirectSoundBuffer* getBuffer = nullptr;
IDirectSoundBuffer* clearBuffer = nullptr;
IDirectSoundBuffer* overBuffer = nullptr;
IDirectSoundBuffer* startBuffer = nullptr;

namespace {

// Bytes of the file from `offset` to its end; 0 when the offset lies beyond.
DWORD BytesLeftFrom(LONG fileSize, DWORD offset) {
  if (fileSize <= 0 || offset >= static_cast<DWORD>(fileSize)) return 0;
  return static_cast<DWORD>(fileSize) - offset;
}

// A chunk may state more bytes than the file holds; only what is there is
// allocated and read.
DWORD HeldSize(const MMCKINFO& chunk, LONG fileSize) {
  DWORD left = BytesLeftFrom(fileSize, chunk.dwDataOffset);
  return chunk.cksize < left ? chunk.cksize : left;
}

// The RIFF form, which must be WAVE.
BOOL FindWaveForm(HMMIO file, MMCKINFO* riff) {
  std::memset(riff, 0, sizeof *riff);
  mmioDescend(file, riff, nullptr, MMIO_FINDRIFF);
  return riff->fccType == mmioFOURCC('W', 'A', 'V', 'E');
}

// The "fmt " chunk, read into a block of at least an extensible format's
// size, zero-filled: the device reads that much when the tag and cbSize
// claim it, whatever the file held.
BOOL ReadFormatBlock(HMMIO file, MMCKINFO* riff, LONG fileSize, char** format) {
  MMCKINFO fmt;
  std::memset(&fmt, 0, sizeof fmt);
  mmioDescend(file, &fmt, riff, MMIO_FINDCHUNK);
  if (fmt.ckid != mmioFOURCC('f', 'm', 't', ' ')) return FALSE;
  const DWORD fmtBytes = HeldSize(fmt, fileSize);
  const DWORD blockBytes =
      fmtBytes > sizeof(WAVEFORMATEXTENSIBLE) ? fmtBytes : static_cast<DWORD>(sizeof(WAVEFORMATEXTENSIBLE));
  *format = static_cast<char*>(std::malloc(blockBytes));
  if (*format == nullptr) return FALSE;
  std::memset(*format, 0, blockBytes);
  if (mmioRead(file, *format, static_cast<LONG>(fmtBytes)) == -1) return FALSE;
  mmioAscend(file, &fmt, 0);
  return TRUE;
}

// The "data" chunk, past any other chunk. A claim beyond the device's
// largest buffer goes to the device as it stands, which refuses it; a claim
// it would accept is cut to what the file holds, so a truncated cue loads
// what it has.
BOOL FindDataChunk(HMMIO file, MMCKINFO* riff, LONG fileSize, DWORD* dataBytes) {
  MMCKINFO data;
  const FOURCC dataId = mmioStringToFOURCCA("data", 0);
  for (;;) {
    std::memset(&data, 0, sizeof data);
    if (mmioDescend(file, &data, riff, 0) != MMSYSERR_NOERROR) return FALSE;
    if (data.ckid == dataId) break;
    mmioAscend(file, &data, 0);
  }
  *dataBytes = data.cksize > DSBSIZE_MAX ? data.cksize : HeldSize(data, fileSize);
  return TRUE;
}

// A static buffer of the cue's format and size.
BOOL CreateCueBuffer(IDirectSoundBuffer** slot, char* format, DWORD dataBytes) {
  DSBUFFERDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof(DSBUFFERDESC);
  desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_LOCDEFER;
  desc.dwBufferBytes = dataBytes;
  desc.dwReserved = 0;
  desc.lpwfxFormat = reinterpret_cast<LPWAVEFORMATEX>(format);
  desc.guid3DAlgorithm = GUID{};
  return SUCCEEDED(soundDevice->CreateSoundBuffer(&desc, slot, nullptr));
}

// The samples, read straight into the locked buffer.
BOOL FillCueBuffer(HMMIO file, IDirectSoundBuffer* buffer, DWORD dataBytes) {
  LPVOID firstPart = nullptr;
  LPVOID secondPart = nullptr;
  DWORD firstBytes = 0;
  DWORD secondBytes = 0;
  if (FAILED(buffer->Lock(0, dataBytes, &firstPart, &firstBytes, &secondPart, &secondBytes, 0))) return FALSE;
  mmioRead(file, static_cast<HPSTR>(firstPart), static_cast<LONG>(firstBytes));
  mmioRead(file, static_cast<HPSTR>(secondPart), static_cast<LONG>(secondBytes));
  buffer->Unlock(firstPart, firstBytes, secondPart, secondBytes);
  return TRUE;
}

}  // namespace

BOOL InitSound() {
  CoInitialize(nullptr);
  if (FAILED(DirectSoundCreate8(nullptr, &soundDevice, nullptr))) return FALSE;
  if (FAILED(soundDevice->SetCooperativeLevel(mainWindow, DSSCL_EXCLUSIVE))) return FALSE;
  return TRUE;
}

BOOL CreatePrimaryBuffer() {
  DSBUFFERDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof(DSBUFFERDESC);
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
  desc.dwBufferBytes = 0;
  desc.dwReserved = 0;
  desc.lpwfxFormat = nullptr;
  desc.guid3DAlgorithm = GUID{};
  if (FAILED(soundDevice->CreateSoundBuffer(&desc, &primaryBuffer, nullptr))) return FALSE;

  WAVEFORMATEX format;
  std::memset(&format, 0, sizeof format);
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = 44100;
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<WORD>(format.nChannels * format.wBitsPerSample / 8);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  format.cbSize = 18;
  if (FAILED(primaryBuffer->SetFormat(&format))) return FALSE;
  return TRUE;
}

BOOL LoadWave(IDirectSoundBuffer** slot, LPCSTR fileName) {
  HMMIO file = mmioOpenA(const_cast<LPSTR>(fileName), nullptr, MMIO_READ | MMIO_ALLOCBUF);
  if (file == nullptr) return FALSE;
  // The file's length bounds every size a chunk header claims.
  const LONG fileSize = mmioSeek(file, 0, SEEK_END);
  mmioSeek(file, 0, SEEK_SET);

  char* format = nullptr;
  DWORD dataBytes = 0;
  MMCKINFO riff;
  const BOOL loaded = FindWaveForm(file, &riff) && ReadFormatBlock(file, &riff, fileSize, &format) &&
                      FindDataChunk(file, &riff, fileSize, &dataBytes) &&
                      CreateCueBuffer(slot, format, dataBytes) && FillCueBuffer(file, *slot, dataBytes);
  std::free(format);
  mmioClose(file, 0);
  return loaded;
}

BOOL ReleaseSound() {
  IDirectSoundBuffer** buffers[] = {&bgmBuffer, &getBuffer, &clearBuffer, &overBuffer, &startBuffer, &primaryBuffer};
  for (IDirectSoundBuffer** buffer : buffers) {
    if (*buffer != nullptr) {
      (*buffer)->Release();
      *buffer = nullptr;
    }
  }
  if (soundDevice != nullptr) {
    soundDevice->Release();
    soundDevice = nullptr;
  }
  CoUninitialize();
  return TRUE;
}
