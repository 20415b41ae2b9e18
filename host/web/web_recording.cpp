// web_recording.cpp — the page side of recording, through web_recording.js.
#include "host/web/web_recording.h"

extern "C" {
int velmora_web_query_flag(const char* name);
void velmora_web_offer_recording(const char* sessionPath, const char* frameHashesPath);
}

namespace host::web {

bool RecordingWanted() { return velmora_web_query_flag("record") != 0; }
bool FrameHashesWanted() { return velmora_web_query_flag("frame-hashes") != 0; }

void OfferRecording(const std::string& sessionPath, const std::string& frameHashesPath) {
  velmora_web_offer_recording(sessionPath.c_str(), frameHashesPath.c_str());
}

}  // namespace host::web
