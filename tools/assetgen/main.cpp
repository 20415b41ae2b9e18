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

}  // namespace

int main(int argc, char** argv) {
  std::string out, sheet, detail;
  int scale = 2;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) return Usage();
    if (a == "--out") out = argv[++i];
    else if (a == "--sheet") sheet = argv[++i];
    else if (a == "--detail") detail = argv[++i];
    else if (a == "--scale") scale = std::max(1, std::atoi(argv[++i]));
    else return Usage();
  }
  if (out.empty()) return Usage();
  std::error_code ec;
  std::filesystem::create_directories(out, ec);

  const Indexed floor = FloorTile();
  const Indexed walker = Walker(), partner = Partner(), gem = Gem(), block = Block(), stranger = Stranger();
  const GlyphStyle indigo{kIndigo, -1, 46, 4.8f, 440, 600};
  const GlyphStyle red{kRed, kIndigo, 46, 4.5f, 350, 570};
  const GlyphStyle bannerRed{kRed, kIndigo, 50, 4.6f, 350, 700};
  const GlyphStyle orange{kOrange, kIndigo, 50, 4.4f, 360, 650};
  const Indexed score = GlyphStrip(floor, "SCORE", indigo);
  const Indexed digits = GlyphStrip(floor, "0123456789", red);
  const Indexed missed = GlyphStrip(floor, "MISSED#", bannerRed);
  const Indexed cleared = GlyphStrip(floor, "CLEARED", orange);
  const Indexed spin = SpinStrip(walker);
  const Indexed title = TitleCard(floor, walker, partner, gem);
  const CursorPicture cursor = Cursor();
  const Indexed icon = Icon();

  struct Res {
    int type, number;
    std::string file;
    std::vector<uint8_t> bytes;
  };
  const std::vector<uint8_t> cursorImage = CursorImage(cursor.image, 4, 0, 0, cursor.transparent);
  const std::vector<uint8_t> iconImage = IconImage(icon, 8, std::vector<bool>(128 * 128, false));
  const std::vector<Res> resources = {
      {2, 111, "walker.bmp", DibResource(walker, 4)},
      {2, 112, "partner.bmp", DibResource(partner, 4)},
      {2, 113, "gem.bmp", DibResource(gem, 4)},
      {2, 114, "floor.bmp", DibResource(floor, 4)},
      {2, 115, "block.bmp", DibResource(block, 8)},
      {2, 116, "stranger.bmp", DibResource(stranger, 8)},
      {2, 117, "score_label.bmp", DibResource(score, 4)},
      {2, 118, "digit_strip.bmp", DibResource(digits, 4)},
      {2, 119, "missed_banner.bmp", DibResource(missed, 4)},
      {2, 120, "cleared_banner.bmp", DibResource(cleared, 4)},
      {2, 121, "title_card.bmp", DibResource(title, 8)},
      {2, 124, "spin_strip.bmp", DibResource(spin, 4, 16)},
      {1, 1, "cursor_image.bin", cursorImage},
      {12, 110, "cursor_group.bin", CursorGroup(32, 32, 4, uint32_t(cursorImage.size()), 1)},
      {3, 2, "icon_image.bin", iconImage},
      {14, 123, "icon_group.bin", IconGroup(128, 128, 8, uint32_t(iconImage.size()), 2)},
  };

  bool ok = true;
  std::string manifest;
  for (const Res& r : resources) {
    ok = WriteFile(out, r.file, r.bytes) && ok;
    manifest += std::to_string(r.type) + " " + std::to_string(r.number) + " 0411 " + r.file + "\n";
  }
  ok = WriteFile(out, "resources.manifest", std::vector<uint8_t>(manifest.begin(), manifest.end())) && ok;
  for (const WavFile& w : MakeSounds()) ok = WriteFile(out, w.name, w.bytes) && ok;
  // The desktop's icons are the same picture as the window's icon.
  std::vector<Indexed> desktopIcons;
  for (int size : DesktopIconSizes()) {
    desktopIcons.push_back(ScalePixelArt(icon, size, size));
    const std::vector<uint8_t> png = PngBytes(desktopIcons.back());
    ok = !png.empty() && WriteFile(out, DesktopIconFile(size), png) && ok;
  }

  if (!sheet.empty()) {
    std::vector<std::vector<SheetItem>> rows = {
        {{&walker, nullptr}, {&partner, nullptr}, {&gem, nullptr}, {&floor, nullptr}, {&block, nullptr},
         {&stranger, nullptr}, {&cursor.image, &cursor.transparent}, {&icon, nullptr}},
        {{&spin, nullptr}, {&score, nullptr}},
        {{&digits, nullptr}},
        {{&missed, nullptr}, {&cleared, nullptr}},
        {{&title, nullptr}},
    };
    if (!WriteContactSheet(sheet, rows, scale)) {
      std::fprintf(stderr, "velmora-assetgen: cannot write %s\n", sheet.c_str());
      ok = false;
    }
  }
  if (!detail.empty()) {
    // close-ups large enough to judge single pixels, written beside the
    // named file with suffixes
    auto crop = [](const Indexed& im, int x0, int w) {
      Indexed c{w, im.h, std::vector<uint8_t>(size_t(w) * size_t(im.h)), im.palette};
      for (int y = 0; y < im.h; ++y)
        for (int x = 0; x < w; ++x) c.at(x, y) = im.at(x0 + x, y);
      return c;
    };
    const Indexed d0 = crop(digits, 0, 440), d1 = crop(digits, 440, 440), m0 = crop(missed, 0, 352),
                  m1 = crop(missed, 352, 264), c0 = crop(cleared, 0, 352), c1 = crop(cleared, 352, 264),
                  t0 = crop(title, 176, 440);
    std::string stem = detail.substr(0, detail.size() - (detail.ends_with(".png") ? 4 : 0));
    ok = WriteContactSheet(stem + "-figures.png",
                           {{{&walker, nullptr}, {&partner, nullptr}, {&gem, nullptr}},
                            {{&block, nullptr}, {&stranger, nullptr}, {&floor, nullptr}}},
                           5) && ok;
    ok = WriteContactSheet(stem + "-small.png",
                           {{{&spin, nullptr}}, {{&cursor.image, &cursor.transparent}, {&icon, nullptr}}}, 4) && ok;
    std::vector<SheetItem> iconRow;
    for (const Indexed& im : desktopIcons) iconRow.push_back({&im, nullptr});
    ok = WriteContactSheet(stem + "-icons.png", {iconRow}, 2) && ok;
    ok = WriteContactSheet(stem + "-letters.png", {{{&score, nullptr}}, {{&d0, nullptr}}, {{&d1, nullptr}}}, 3) && ok;
    ok = WriteContactSheet(stem + "-banners.png", {{{&m0, nullptr}, {&m1, nullptr}}, {{&c0, nullptr}, {&c1, nullptr}}}, 3) && ok;
    ok = WriteContactSheet(stem + "-title.png", {{{&t0, nullptr}}}, 2) && ok;
  }
  return ok ? 0 : 1;
}
