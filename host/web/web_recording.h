// web_recording.h — recording a session in the browser.
//
// Provides: what the page address asks of recording (`record=1`: write the
// session; `frame-hashes=1`: also log a hash of every frame, the test
// switch) and OfferRecording, which, when the program has ended, offers the
// session as a download (velmora-session.txt) and leaves both texts on the
// page's Module.velmora (recording, frameHashes) for tests.
// Depends on: emscripten, web_recording.js.
#pragma once

#include <string>

namespace host::web {

bool RecordingWanted();
bool FrameHashesWanted();
// Files in the program's in-memory file system; a missing one is left out.
void OfferRecording(const std::string& sessionPath, const std::string& frameHashesPath);

}  // namespace host::web
