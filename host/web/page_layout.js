// page_layout.js — shows the canvas at the size page_layout.cpp chose.
//
// Provides: velmora_page_show_canvas (size in CSS pixels, and whether the
// canvas is at a whole factor, drawn hard-edged, or filling the room,
// smoothed). The page tells the host to lay out again by sending the
// window a resize event (page.js does, when its controls come or go).
// Depends on: the page's #canvas; the rendering rules in shell.html.

mergeInto(LibraryManager.library, {
  velmora_page_show_canvas: function(cssWidth, cssHeight, whole) {
    var c = document.getElementById('canvas');
    if (!c) return;
    c.style.width = cssWidth + 'px';
    c.style.height = cssHeight + 'px';
    c.setAttribute('data-scaling', whole ? 'whole' : 'smooth');
  },
});
