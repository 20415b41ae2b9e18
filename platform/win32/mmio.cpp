// mmio.cpp — multimedia file I/O: reading RIFF files chunk by chunk.
//
// Provides: mmioOpenA (read access, optional MMIO_ALLOCBUF buffer), mmioRead,
// mmioSeek, mmioDescend (MMIO_FINDRIFF, MMIO_FINDLIST, MMIO_FINDCHUNK or the
// next chunk, always bounded by the parent chunk and the end of the file),
// mmioAscend (past the data and its pad byte), mmioClose and
// mmioStringToFOURCCA.
// Depends on: POSIX file calls, host::ShouldFail.
// Fault injection: "mmioOpenA" makes the open fail with MMIOERR_CANNOTOPEN.
//
// Every size read from a file is untrusted: positions are kept in 64 bits, so
// a chunk size near 4 GiB can only move the position past the end of the
// file, where every later read returns nothing and every search ends.
#include <mmsystem.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/host.h"
#include "platform/win32/file_failures.h"

namespace {

struct MmioFile {
  int fd = -1;
  uint64_t size = 0;      // file length at open
  uint64_t position = 0;  // may lie past the end after a seek or an ascent
  // Read buffer (MMIO_ALLOCBUF): bytes [bufferStart, bufferStart + bufferFill).
  std::vector<char> buffer;
  uint64_t bufferStart = 0;
  size_t bufferFill = 0;
};

std::mutex g_handlesMutex;
std::unordered_set<MmioFile*> g_handles;

MmioFile* FromHandle(HMMIO h) {
  auto* file = reinterpret_cast<MmioFile*>(h);
  std::lock_guard<std::mutex> lock(g_handlesMutex);
  return g_handles.count(file) != 0 ? file : nullptr;
}

void SetError(LPMMIOINFO info, UINT code) {
  if (info != nullptr) info->wErrorRet = code;
}

// Reads up to `count` bytes at `offset` straight from the file.
int64_t ReadAt(int fd, uint64_t offset, char* out, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (offset + done > static_cast<uint64_t>(INT64_MAX)) break;
    ssize_t n = pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

// Reads up to `count` bytes at the current position, through the buffer when
// there is one. Returns the byte count, or -1 on a read error.
int64_t ReadBytes(MmioFile& f, char* out, size_t count) {
  if (f.position >= f.size || count == 0) return 0;
  count = static_cast<size_t>(std::min<uint64_t>(count, f.size - f.position));
  size_t done = 0;
  while (done < count) {
    uint64_t pos = f.position + done;
    if (!f.buffer.empty() && pos >= f.bufferStart && pos < f.bufferStart + f.bufferFill) {
      size_t from = static_cast<size_t>(pos - f.bufferStart);
      size_t n = std::min(count - done, f.bufferFill - from);
      std::copy_n(f.buffer.data() + from, n, out + done);
      done += n;
      continue;
    }
    if (f.buffer.empty() || count - done >= f.buffer.size()) {
      int64_t n = ReadAt(f.fd, pos, out + done, count - done);
      if (n < 0) return -1;
      done += static_cast<size_t>(n);
      break;
    }
    int64_t n = ReadAt(f.fd, pos, f.buffer.data(), f.buffer.size());
    if (n < 0) return -1;
    f.bufferStart = pos;
    f.bufferFill = static_cast<size_t>(n);
    if (n == 0) break;
  }
  f.position += done;
  return static_cast<int64_t>(done);
}

DWORD LoadLe32(const unsigned char* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
         (static_cast<DWORD>(p[3]) << 24);
}

}  // namespace

HMMIO WINAPI mmioOpenA(LPSTR pszFileName, LPMMIOINFO pmmioinfo, DWORD fdwOpen) {
  try {
    SetError(pmmioinfo, MMSYSERR_NOERROR);
    if (host::ShouldFail("mmioOpenA")) {
      if (pszFileName != nullptr) platform::detail::RecordUnopenedFile(pszFileName, EIO);
      SetError(pmmioinfo, MMIOERR_CANNOTOPEN);
      return nullptr;
    }
    // Only reading named files is supported; custom I/O procedures, memory
    // files and writing are not.
    const DWORD unsupported = MMIO_RWMODE | MMIO_CREATE | MMIO_PARSE | MMIO_DELETE | MMIO_EXIST | MMIO_GETTEMP;
    if ((fdwOpen & unsupported) != 0 ||
        (pmmioinfo != nullptr && (pmmioinfo->pIOProc != nullptr || pmmioinfo->fccIOProc != 0))) {
      SetError(pmmioinfo, MMSYSERR_NOTSUPPORTED);
      return nullptr;
    }
    if (pszFileName == nullptr || pszFileName[0] == '\0') {
      SetError(pmmioinfo, MMIOERR_FILENOTFOUND);
      return nullptr;
    }
    std::string path(pszFileName);
    std::replace(path.begin(), path.end(), '\\', '/');

    LONG bufferSize = 0;
    if ((fdwOpen & MMIO_ALLOCBUF) != 0) {
      bufferSize = MMIO_DEFAULTBUFFER;
      if (pmmioinfo != nullptr && pmmioinfo->cchBuffer > 0) bufferSize = pmmioinfo->cchBuffer;
      bufferSize = std::min<LONG>(bufferSize, 1 << 20);
    }

    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      platform::detail::RecordUnopenedFile(path, errno);
      UINT code = MMIOERR_CANNOTOPEN;
      if (errno == ENOENT) code = MMIOERR_FILENOTFOUND;
      if (errno == EACCES || errno == EPERM) code = MMIOERR_ACCESSDENIED;
      if (errno == EMFILE || errno == ENFILE) code = MMIOERR_TOOMANYOPENFILES;
      SetError(pmmioinfo, code);
      return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      platform::detail::RecordUnopenedFile(path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
      close(fd);
      SetError(pmmioinfo, MMIOERR_CANNOTOPEN);
      return nullptr;
    }
    auto* file = new (std::nothrow) MmioFile;
    if (file == nullptr) {
      close(fd);
      SetError(pmmioinfo, MMIOERR_OUTOFMEMORY);
      return nullptr;
    }
    file->fd = fd;
    file->size = static_cast<uint64_t>(st.st_size);
    if (bufferSize > 0) file->buffer.resize(static_cast<size_t>(bufferSize));
    {
      std::lock_guard<std::mutex> lock(g_handlesMutex);
      g_handles.insert(file);
    }
    HMMIO handle = reinterpret_cast<HMMIO>(file);
    if (pmmioinfo != nullptr) pmmioinfo->hmmio = handle;
    return handle;
  } catch (...) {
    SetError(pmmioinfo, MMIOERR_OUTOFMEMORY);
    return nullptr;
  }
}

MMRESULT WINAPI mmioClose(HMMIO hmmio, UINT fuClose) {
  (void)fuClose;
  MmioFile* file = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    auto it = g_handles.find(reinterpret_cast<MmioFile*>(hmmio));
    if (it == g_handles.end()) return MMSYSERR_INVALHANDLE;
    file = *it;
    g_handles.erase(it);
  }
  bool closed = close(file->fd) == 0;
  delete file;
  return closed ? MMSYSERR_NOERROR : MMIOERR_CANNOTCLOSE;
}

LONG WINAPI mmioRead(HMMIO hmmio, HPSTR pch, LONG cch) {
  MmioFile* file = FromHandle(hmmio);
  if (file == nullptr || cch < 0) return -1;
  if (cch == 0) return 0;
  if (pch == nullptr) return -1;
  int64_t n = ReadBytes(*file, pch, static_cast<size_t>(cch));
  return n < 0 ? -1 : static_cast<LONG>(n);
}

LONG WINAPI mmioSeek(HMMIO hmmio, LONG lOffset, int iOrigin) {
  MmioFile* file = FromHandle(hmmio);
  if (file == nullptr) return -1;
  int64_t base = 0;
  switch (iOrigin) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<int64_t>(std::min<uint64_t>(file->position, INT64_MAX / 2)); break;
    case SEEK_END: base = static_cast<int64_t>(file->size); break;
    default: return -1;
  }
  int64_t target = base + lOffset;
  if (target < 0 || target > INT32_MAX) return -1;
  file->position = static_cast<uint64_t>(target);
  return static_cast<LONG>(target);
}

MMRESULT WINAPI mmioDescend(HMMIO hmmio, LPMMCKINFO pmmcki, const MMCKINFO* pmmckiParent, UINT fuDescend) {
  MmioFile* file = FromHandle(hmmio);
  if (file == nullptr) return MMSYSERR_INVALHANDLE;
  if (pmmcki == nullptr) return MMSYSERR_INVALPARAM;

  // A chunk's header must lie wholly inside its parent's data.
  uint64_t end = UINT64_MAX;
  if (pmmckiParent != nullptr) end = uint64_t{pmmckiParent->dwDataOffset} + pmmckiParent->cksize;

  FOURCC wantId = 0;
  FOURCC wantType = 0;
  bool search = true;
  if ((fuDescend & MMIO_FINDCHUNK) != 0) {
    wantId = pmmcki->ckid;
  } else if ((fuDescend & MMIO_FINDRIFF) != 0) {
    wantId = FOURCC_RIFF;
    wantType = pmmcki->fccType;
  } else if ((fuDescend & MMIO_FINDLIST) != 0) {
    wantId = FOURCC_LIST;
    wantType = pmmcki->fccType;
  } else {
    search = false;
  }

  uint64_t at = file->position;
  for (;;) {
    // Every pass moves `at` forward by at least 8, and reads fail past the
    // end of the file, so the search always ends.
    if (at > UINT32_MAX - 8 || at + 8 > end || at >= file->size) return MMIOERR_CHUNKNOTFOUND;
    file->position = at;
    unsigned char header[12];
    if (ReadBytes(*file, reinterpret_cast<char*>(header), 8) != 8) return MMIOERR_CHUNKNOTFOUND;
    FOURCC id = LoadLe32(header);
    DWORD size = LoadLe32(header + 4);
    FOURCC type = 0;
    bool isForm = id == FOURCC_RIFF || id == FOURCC_LIST;
    if (isForm) {
      if (ReadBytes(*file, reinterpret_cast<char*>(header + 8), 4) != 4) return MMIOERR_CHUNKNOTFOUND;
      type = LoadLe32(header + 8);
    }
    bool match = !search;
    if (search) {
      match = (wantId == 0 || id == wantId) && (wantType == 0 || type == wantType);
    }
    if (match) {
      pmmcki->ckid = id;
      pmmcki->cksize = size;
      pmmcki->fccType = type;
      pmmcki->dwDataOffset = static_cast<DWORD>(at + 8);
      pmmcki->dwFlags = 0;
      file->position = at + (isForm ? 12 : 8);
      return MMSYSERR_NOERROR;
    }
    at += 8 + uint64_t{size} + (size & 1u);
  }
}

MMRESULT WINAPI mmioAscend(HMMIO hmmio, LPMMCKINFO pmmcki, UINT fuAscend) {
  (void)fuAscend;
  MmioFile* file = FromHandle(hmmio);
  if (file == nullptr) return MMSYSERR_INVALHANDLE;
  if (pmmcki == nullptr) return MMSYSERR_INVALPARAM;
  file->position = uint64_t{pmmcki->dwDataOffset} + pmmcki->cksize + (pmmcki->cksize & 1u);
  return MMSYSERR_NOERROR;
}

FOURCC WINAPI mmioStringToFOURCCA(LPCSTR sz, UINT uFlags) {
  char c[4] = {' ', ' ', ' ', ' '};
  if (sz != nullptr) {
    for (int i = 0; i < 4 && sz[i] != '\0'; ++i) {
      c[i] = sz[i];
      if ((uFlags & MMIO_TOUPPER) != 0 && c[i] >= 'a' && c[i] <= 'z') c[i] = static_cast<char>(c[i] - 'a' + 'A');
    }
  }
  return mmioFOURCC(c[0], c[1], c[2], c[3]);
}
