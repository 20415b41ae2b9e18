// frame_scene.h — the game's busiest frame, rebuilt from synthetic images:
// 63 floor tiles, 10 blocks, 5 gems, partner, walker, cleared banner,
// stranger, score label, four digits, missed banner and a spin frame (89
// draws), and the ways to compose it: through the software Direct3D
// device through the sprites, and with two other renderers.
#pragma once

#include <d3d9.h>

#include "gfx/sprite.h"
#include "host/headless/headless_host.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace benchdevice {

constexpr int kFrameWidth = 800;
constexpr int kFrameHeight = 640;

// A straight-alpha ARGB picture, top row first.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;
};

struct Draw {
  int image;                      // index into Scene::images
  int left, top, right, bottom;   // source rectangle in texels of the picture
  int x, y;                       // screen position
};

struct Scene {
  std::vector<Picture> images;    // bitmap-sized pictures
  std::vector<Draw> draws;        // in drawing order
};

// The scene; `pow2` makes every picture its power-of-two texture size, the
// picture drawn over it as a texture holding a stretched bitmap would be.
Scene MakeScene(bool pow2);

// `n` draws of the scene's whole 88 x 88 pictures, cycling through them, at
// random whole-pixel positions over the frame (some reach past its edges);
// the same `seed` gives the same positions.
std::vector<Draw> RandomSprites(const Scene& scene, int n, uint32_t seed);

// The frame through the device, drawn by one sprite per image.
class DeviceFrame {
 public:
  // `profile` is a device capability profile name. The host must be current.
  DeviceFrame(host::HeadlessHost* host, const std::string& profile);
  ~DeviceFrame();
  bool ok() const { return ok_; }
  // Clear, begin scene, the 89 draws, end scene, present.
  void Render();
  // The same bracket around other draws of the scene's pictures.
  void Render(const std::vector<Draw>& draws);
  const Scene& scene() const { return scene_; }
  // The back buffer (after Render).
  std::vector<uint32_t> Pixels();

 private:
  bool ok_ = false;
  Scene scene_;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  std::vector<IDirect3DTexture9*> textures_;
  std::vector<ID3DXSprite*> sprites_;  // one per texture
};

}  // namespace benchdevice
