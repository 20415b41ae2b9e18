// velmora-assetgen: draws the game's pictures and synthesises its sounds,
// and writes them, with the resource manifest, into a folder.
//
//   velmora-assetgen --out assets [--sheet sheet.png] [--scale 2] [--detail big.png]
//
// Output is the same, byte for byte, on every run.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "contact_sheet.h"
#include "icons.h"
#include "palettes.h"
#include "pictures.h"
#include "resource_writer.h"
#include "sounds.h"

namespace {

using namespace assetgen;

bool WriteFile(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream f(dir + "/" + name, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  f.close();
  if (!f) std::fprintf(stderr, "velmora-assetgen: cannot write %s/%s\n", dir.c_str(), name.c_str());
  return bool(f);
}

int Usage() {
  std::fprintf(stderr, "usage: velmora-assetgen --out DIR [--sheet FILE.png] [--scale N] [--detail FILE.png]\n");
  return 2;
}

struct Options {
  std::string out, sheet, detail;
  int scale = 2;
};

bool ParseArguments(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) return false;
    if (a == "--out") o->out = argv[++i];
    else if (a == "--sheet") o->sheet = argv[++i];
    else if (a == "--detail") o->detail = argv[++i];
    else if (a == "--scale") o->scale = std::max(1, std::atoi(argv[++i]));
    else return false;
  }
  return !o->out.empty();
}

// Every picture of the game, drawn once.
struct Pictures {
  Indexed floor = FloorTile();
  Indexed walker = Walker(), partner = Partner(), gem = Gem(), block = Block(), stranger = Stranger();
  Indexed score = GlyphStrip(floor, "SCORE", GlyphStyle{kIndigo, -1, 46, 4.8f, 440, 600});
  Indexed digits = GlyphStrip(floor, "0123456789", GlyphStyle{kRed, kIndigo, 46, 4.5f, 350, 570});
  Indexed missed = GlyphStrip(floor, "MISSED#", GlyphStyle{kRed, kIndigo, 50, 4.6f, 350, 700});
  Indexed cleared = GlyphStrip(floor, "CLEARED", GlyphStyle{kOrange, kIndigo, 50, 4.4f, 360, 650});
  Indexed spin = SpinStrip(walker);
  Indexed title = TitleCard(floor, walker, partner, gem);
  CursorPicture cursor = Cursor();
  Indexed icon = Icon();
};

struct Res {
  int type, number;
  std::string file;
  std::vector<uint8_t> bytes;
};

std::vector<Res> Resources(const Pictures& p) {
  const std::vector<uint8_t> cursorImage = CursorImage(p.cursor.image, 4, 0, 0, p.cursor.transparent);
  const std::vector<uint8_t> iconImage = IconImage(p.icon, 8, std::vector<bool>(128 * 128, false));
  return {
      {2, 111, "walker.bmp", DibResource(p.walker, 4)},
      {2, 112, "partner.bmp", DibResource(p.partner, 4)},
      {2, 113, "gem.bmp", DibResource(p.gem, 4)},
      {2, 114, "floor.bmp", DibResource(p.floor, 4)},
      {2, 115, "block.bmp", DibResource(p.block, 8)},
      {2, 116, "stranger.bmp", DibResource(p.stranger, 8)},
      {2, 117, "score_label.bmp", DibResource(p.score, 4)},
      {2, 118, "digit_strip.bmp", DibResource(p.digits, 4)},
      {2, 119, "missed_banner.bmp", DibResource(p.missed, 4)},
      {2, 120, "cleared_banner.bmp", DibResource(p.cleared, 4)},
      {2, 121, "title_card.bmp", DibResource(p.title, 8)},
      {2, 124, "spin_strip.bmp", DibResource(p.spin, 4, 16)},
      {1, 1, "cursor_image.bin", cursorImage},
      {12, 110, "cursor_group.bin", CursorGroup(32, 32, 4, uint32_t(cursorImage.size()), 1)},
      {3, 2, "icon_image.bin", iconImage},
      {14, 123, "icon_group.bin", IconGroup(128, 128, 8, uint32_t(iconImage.size()), 2)},
  };
}

// The resources, their manifest and the sounds.
bool WriteResources(const std::string& out, const Pictures& p) {
  bool ok = true;
  std::string manifest;
  for (const Res& r : Resources(p)) {
    ok = WriteFile(out, r.file, r.bytes) && ok;
    manifest += std::to_string(r.type) + " " + std::to_string(r.number) + " 0411 " + r.file + "\n";
  }
  ok = WriteFile(out, "resources.manifest", std::vector<uint8_t>(manifest.begin(), manifest.end())) && ok;
  for (const WavFile& w : MakeSounds()) ok = WriteFile(out, w.name, w.bytes) && ok;
  return ok;
}

// The desktop's icons are the same picture as the window's icon.
bool WriteDesktopIcons(const std::string& out, const Indexed& icon, std::vector<Indexed>* desktopIcons) {
  bool ok = true;
  for (int size : DesktopIconSizes()) {
    desktopIcons->push_back(ScalePixelArt(icon, size, size));
    const std::vector<uint8_t> png = PngBytes(desktopIcons->back());
    ok = !png.empty() && WriteFile(out, DesktopIconFile(size), png) && ok;
  }
  return ok;
}

bool WriteSheet(const std::string& sheet, const Pictures& p, int scale) {
  std::vector<std::vector<SheetItem>> rows = {
      {{&p.walker, nullptr}, {&p.partner, nullptr}, {&p.gem, nullptr}, {&p.floor, nullptr}, {&p.block, nullptr},
       {&p.stranger, nullptr}, {&p.cursor.image, &p.cursor.transparent}, {&p.icon, nullptr}},
      {{&p.spin, nullptr}, {&p.score, nullptr}},
      {{&p.digits, nullptr}},
      {{&p.missed, nullptr}, {&p.cleared, nullptr}},
      {{&p.title, nullptr}},
  };
  if (WriteContactSheet(sheet, rows, scale)) return true;
  std::fprintf(stderr, "velmora-assetgen: cannot write %s\n", sheet.c_str());
  return false;
}

Indexed Crop(const Indexed& im, int x0, int w) {
  Indexed c{w, im.h, std::vector<uint8_t>(size_t(w) * size_t(im.h)), im.palette};
  for (int y = 0; y < im.h; ++y)
    for (int x = 0; x < w; ++x) c.at(x, y) = im.at(x0 + x, y);
  return c;
}

// Close-ups large enough to judge single pixels, written beside the named
// file with suffixes.
bool WriteDetails(const std::string& detail, const Pictures& p, const std::vector<Indexed>& desktopIcons) {
  const Indexed d0 = Crop(p.digits, 0, 440), d1 = Crop(p.digits, 440, 440), m0 = Crop(p.missed, 0, 352),
                m1 = Crop(p.missed, 352, 264), c0 = Crop(p.cleared, 0, 352), c1 = Crop(p.cleared, 352, 264),
                t0 = Crop(p.title, 176, 440);
  std::string stem = detail.substr(0, detail.size() - (detail.ends_with(".png") ? 4 : 0));
  bool ok = WriteContactSheet(stem + "-figures.png",
                              {{{&p.walker, nullptr}, {&p.partner, nullptr}, {&p.gem, nullptr}},
                               {{&p.block, nullptr}, {&p.stranger, nullptr}, {&p.floor, nullptr}}},
                              5);
  ok = WriteContactSheet(stem + "-small.png",
                         {{{&p.spin, nullptr}}, {{&p.cursor.image, &p.cursor.transparent}, {&p.icon, nullptr}}}, 4) &&
       ok;
  std::vector<SheetItem> iconRow;
  for (const Indexed& im : desktopIcons) iconRow.push_back({&im, nullptr});
  ok = WriteContactSheet(stem + "-icons.png", {iconRow}, 2) && ok;
  ok = WriteContactSheet(stem + "-letters.png", {{{&p.score, nullptr}}, {{&d0, nullptr}}, {{&d1, nullptr}}}, 3) && ok;
  ok = WriteContactSheet(stem + "-banners.png", {{{&m0, nullptr}, {&m1, nullptr}}, {{&c0, nullptr}, {&c1, nullptr}}},
                         3) &&
       ok;
  ok = WriteContactSheet(stem + "-title.png", {{{&t0, nullptr}}}, 2) && ok;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseArguments(argc, argv, &o)) return Usage();
  std::error_code ec;
  std::filesystem::create_directories(o.out, ec);

  const Pictures pictures;
  bool ok = WriteResources(o.out, pictures);
  std::vector<Indexed> desktopIcons;
  ok = WriteDesktopIcons(o.out, pictures.icon, &desktopIcons) && ok;
  if (!o.sheet.empty()) ok = WriteSheet(o.sheet, pictures, o.scale) && ok;
  if (!o.detail.empty()) ok = WriteDetails(o.detail, pictures, desktopIcons) && ok;
  return ok ? 0 : 1;
}
