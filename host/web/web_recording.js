// web_recording.js — page glue for recording a session: reading the
// address' switches, and handing the finished file to the person (a
// download) and to tests (Module.velmora.recording, .frameHashes).
mergeInto(LibraryManager.library, {
  velmora_web_query_flag: function(name) {
    return new URLSearchParams(window.location.search).get(UTF8ToString(name)) === '1' ? 1 : 0;
  },

  velmora_web_offer_recording: function(sessionPath, hashesPath) {
    var read = function(path) {
      try {
        return FS.readFile(UTF8ToString(path), {encoding: 'utf8'});
      } catch (e) {
        return null;
      }
    };
    var session = read(sessionPath);
    var state = Module['velmora'] || (Module['velmora'] = {});
    state.recording = session;
    state.frameHashes = read(hashesPath);
    if (session === null || typeof document === 'undefined') return;
    var link = document.createElement('a');
    link.id = 'recording-download';
    link.href = URL.createObjectURL(new Blob([session], {type: 'text/plain'}));
    link.download = 'velmora-session.txt';
    link.textContent = 'Download the recording (velmora-session.txt)';
    document.body.appendChild(link);
    link.click();
  },
});
