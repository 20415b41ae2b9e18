// web_host.js — the page glue of the browser host (web_host.cpp).
//
// Provides: sleeping and waiting that hand the thread back to the browser
// (ASYNCIFY), the canvas picture, title, cursor and icon, the in-page
// message box, and the page's word when the program ends. What a test reads
// is kept on Module.velmora (frames shown, audio pulled, exit code). The
// sound is web_audio.js.
// Depends on: the page made from shell.html (#canvas, #stage, #status,
// #dialog), emscripten's Asyncify.

mergeInto(LibraryManager.library, {
  $VW: {
    wake: null,        // ends the current wait early, when one is running
    dialogOpen: false,
    cursorCanvas: null,
    canvas: null,      // the game's canvas, its 2D context, and the picture it takes (a view of memory)
    context: null,
    picture: null,
    picturePtr: 0,
    cursorUrls: {},    // by the picture's fingerprint: the program switches between a few often

    // Straight ARGB pixels of the program's memory as a PNG data URL.
    imageUrl: function(argbPtr, width, height) {
      var c = VW.cursorCanvas || (VW.cursorCanvas = document.createElement('canvas'));
      c.width = width;
      c.height = height;
      var g = c.getContext('2d');
      var img = g.createImageData(width, height);
      var base = argbPtr >> 2;
      for (var i = 0; i < width * height; ++i) {
        var p = HEAPU32[base + i];
        img.data[4 * i] = (p >>> 16) & 255;
        img.data[4 * i + 1] = (p >>> 8) & 255;
        img.data[4 * i + 2] = p & 255;
        img.data[4 * i + 3] = p >>> 24;
      }
      g.putImageData(img, 0, 0);
      return c.toDataURL('image/png');
    },

    state: function() {
      return Module['velmora'] ||
             (Module['velmora'] = {frames: 0, audioFrames: 0, audioPeak: 0, exitCode: null, input: []});
    },

    status: function(text) {
      var s = document.getElementById('status');
      if (s) s.textContent = text;
    },
  },

  // The page's record of the keys and presses it was given and how many
  // frames it had shown by then, so a test knows which tick saw each one.
  velmora_web_start__deps: ['$VW'],
  velmora_web_start: function() {
    var st = VW.state();
    st.input = st.input || [];
    var note = function(ev) {
      st.input.push({type: ev.type, code: ev.code || '', frames: st.frames});
      if (st.input.length > 200) st.input.splice(0, st.input.length - 200);
    };
    ['keydown', 'keyup', 'mousedown'].forEach(function(type) { window.addEventListener(type, note, true); });
  },

  velmora_web_query__deps: ['$VW'],
  // Copies the address' query; returns its full length in bytes, so a
  // caller can tell when it did not fit.
  velmora_web_query: function(out, size) {
    var query = String(window.location.search || '');
    stringToUTF8(query, out, size);
    return lengthBytesUTF8(query);
  },

  velmora_web_debug_output: function() {
    return new URLSearchParams(window.location.search).get('debug-output') === '1' ? 1 : 0;
  },

  velmora_web_sleep: function(ms) {
    return Asyncify.handleSleep(function(wakeUp) {
      setTimeout(function() { wakeUp(0); }, ms);
    });
  },

  velmora_web_wait__deps: ['$VW'],
  velmora_web_wait: function(ms) {
    return Asyncify.handleSleep(function(wakeUp) {
      var done = false;
      var timer = 0;
      var finish = function() {
        if (done) return;
        done = true;
        clearTimeout(timer);
        if (VW.wake === finish) VW.wake = null;
        wakeUp(0);
      };
      VW.wake = finish;
      timer = setTimeout(finish, ms);
    });
  },

  // Called from compiled code (an input callback): the wait may only end
  // once that code has returned, so the wake-up is its own task.
  velmora_web_notify__deps: ['$VW'],
  velmora_web_notify: function() {
    var wake = VW.wake;
    if (wake) {
      VW.wake = null;
      setTimeout(wake, 0);
    }
  },

  velmora_web_available_size: function(widthPtr, heightPtr) {
    var stage = document.getElementById('stage');
    var w = stage ? stage.clientWidth : window.innerWidth;
    var h = stage ? stage.clientHeight : window.innerHeight;
    HEAPF64[widthPtr >> 3] = w;
    HEAPF64[heightPtr >> 3] = h;
  },

  velmora_web_set_title: function(title) {
    document.title = UTF8ToString(title);
  },

  velmora_web_show_canvas: function(visible) {
    var c = document.getElementById('canvas');
    if (c) c.style.visibility = visible ? 'visible' : 'hidden';
  },

  velmora_web_present__deps: ['$VW'],
  // The canvas is given the program's picture (RGBA, width x height, in its
  // memory) but takes only the rectangle that changed; a null picture is a
  // frame equal to the one the canvas shows: counted, not uploaded again.
  velmora_web_present: function(rgba, width, height, x, y, changedWidth, changedHeight) {
    var c = VW.canvas || (VW.canvas = document.getElementById('canvas'));
    if (!c) return;
    var st = VW.state();
    if (rgba) {
      var g = VW.context || (VW.context = c.getContext('2d', {alpha: false}));
      // A view of the program's memory, not a copy; made again when the
      // picture moved or the memory grew (which detaches the old buffer).
      var img = VW.picture;
      if (!img || VW.picturePtr !== rgba || img.width !== width || img.height !== height ||
          img.data.buffer !== HEAPU8.buffer) {
        img = VW.picture = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
        VW.picturePtr = rgba;
      }
      g.putImageData(img, 0, 0, x, y, changedWidth, changedHeight);
      st.uploads = (st.uploads || 0) + 1;
      st.uploadedPixels = (st.uploadedPixels || 0) + changedWidth * changedHeight;
    }
    st.frames++;
  },

  velmora_web_set_cursor__deps: ['$VW'],
  velmora_web_set_cursor: function(argb, width, height, hotspotX, hotspotY, printLow, printHigh) {
    var c = document.getElementById('canvas');
    if (!c) return;
    if (!argb) {
      c.style.cursor = 'default';
      return;
    }
    var key = printHigh + ':' + printLow;
    var url = VW.cursorUrls[key];
    if (!url) {
      if (Object.keys(VW.cursorUrls).length >= 32) VW.cursorUrls = {};
      url = VW.cursorUrls[key] = VW.imageUrl(argb, width, height);
    }
    c.style.cursor = 'url(' + url + ') ' + hotspotX + ' ' + hotspotY + ', default';
  },

  velmora_web_set_icon__deps: ['$VW'],
  velmora_web_set_icon: function(argb, width, height) {
    var link = document.querySelector('link[rel="icon"]');
    if (!link) {
      link = document.createElement('link');
      link.rel = 'icon';
      document.head.appendChild(link);
    }
    link.href = VW.imageUrl(argb, width, height);
  },

  velmora_web_message_box__deps: ['$VW'],
  // Shows the box with the given buttons (labels, one a line); the answer
  // is the index of the button pressed.
  velmora_web_message_box: function(text, caption, labels, icon, defaultButton) {
    var message = UTF8ToString(text);
    var title = UTF8ToString(caption);
    var names = UTF8ToString(labels).split('\n');
    return Asyncify.handleSleep(function(wakeUp) {
      var dialog = document.getElementById('dialog');
      if (!dialog) {
        wakeUp(-1);
        return;
      }
      dialog.querySelector('.caption').textContent = title;
      dialog.querySelector('.text').textContent = message;
      // host::DialogIcon: None, Error, Question, Warning, Information.
      dialog.className = ['', 'error', 'question', 'warning', 'information'][icon] || '';
      var row = dialog.querySelector('.buttons');
      row.textContent = '';
      names.forEach(function(name, index) {
        var button = document.createElement('button');
        button.textContent = name;
        button.onclick = function() {
          dialog.hidden = true;
          VW.dialogOpen = false;
          wakeUp(index);
        };
        row.appendChild(button);
      });
      VW.dialogOpen = true;
      dialog.hidden = false;
      (row.children[defaultButton] || row.firstChild).focus();
    });
  },

  velmora_web_dialog_open__deps: ['$VW'],
  velmora_web_dialog_open: function() {
    return VW.dialogOpen ? 1 : 0;
  },

  velmora_web_debug: function(text) {
    console.log(UTF8ToString(text).replace(/\n$/, ''));
  },

  velmora_web_ended__deps: ['$VW'],
  velmora_web_ended: function(exitCode, reason) {
    VW.state().exitCode = exitCode;
    document.body.setAttribute('data-state', 'ended');
    VW.status('VELMORA has ended (exit code ' + exitCode + ')' + (reason ? ': ' + UTF8ToString(reason) : '') + '.');
  },
});
