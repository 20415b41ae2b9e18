// D3DXCheckTextureRequirements on the software device's capability
// profiles: the game's requests on each kind of card, and the argument
// checks with their messages.
#include <gtest/gtest.h>

#include <string>

#include "gfx/gfx.h"
#include "tests/gfx/texture_device.h"

namespace {

class Requirements : public texture_test::DeviceTest {
 protected:
  struct Answer {
    HRESULT hr;
    UINT w, h, levels;
    D3DFORMAT format;
  };
  Answer Ask(UINT w, UINT h, UINT levels, DWORD usage = 0, D3DFORMAT format = D3DFMT_A8R8G8B8,
             D3DPOOL pool = D3DPOOL_MANAGED) {
    Answer a{};
    a.hr = D3DXCheckTextureRequirements(device_, &w, &h, &levels, usage, &format, pool);
    a.w = w;
    a.h = h;
    a.levels = levels;
    a.format = format;
    return a;
  }
  bool Reported(const std::string& m) { return host_.DebugText().find("D3DX: " + m + "\r\n") != std::string::npos; }
};

TEST_F(Requirements, GameBitmapsOnAModernCard) {
  StartDevice("default");
  Answer a = Ask(88, 88, 0);
  EXPECT_EQ(a.hr, S_OK);
  EXPECT_EQ(a.w, 88u);
  EXPECT_EQ(a.levels, 7u);
  EXPECT_EQ(a.format, D3DFMT_A8R8G8B8);
  a = Ask(792, 640, 0);
  EXPECT_EQ(a.levels, 10u);
}

TEST_F(Requirements, PowerOfTwoCard) {
  StartDevice("pow2");
  Answer a = Ask(880, 88, 0);
  EXPECT_EQ(a.hr, S_OK);
  EXPECT_EQ(a.w, 1024u);
  EXPECT_EQ(a.h, 128u);
  EXPECT_EQ(a.levels, 11u);
}

TEST_F(Requirements, CardWithoutA8R8G8B8GetsTheClosestSubstitute) {
  StartDevice("noa8r8g8b8");
  Answer a = Ask(88, 88, 0);
  EXPECT_EQ(a.hr, S_OK);
  EXPECT_EQ(a.format, D3DFMT_A8B8G8R8);
}

TEST_F(Requirements, ArgumentChecksAndScratchPool) {
  StartDevice("default");
  EXPECT_EQ(Ask(88, 88, 0, 0x4).hr, D3DERR_INVALIDCALL);  // a bit of 0xFFE039EC
  EXPECT_TRUE(Reported("Usage parameter is invalid"));
  EXPECT_EQ(Ask(88, 88, 0, 0, D3DFMT_A8R8G8B8, static_cast<D3DPOOL>(4)).hr, D3DERR_INVALIDCALL);
  EXPECT_TRUE(Reported("Pool parameter is invalid"));
  EXPECT_EQ(Ask(88, 88, 0, 0xFFFFFFFF).hr, S_OK);  // counts as 0
  // Signed formats are not textures this device can sample.
  Answer v = Ask(88, 88, 0, 0, D3DFMT_V8U8);
  EXPECT_EQ(v.hr, D3DERR_NOTAVAILABLE);
  EXPECT_EQ(v.w, 88u);  // nothing written back
  EXPECT_TRUE(Reported("Device does not support this Usage/ResType"));
  // The scratch pool asks the device nothing.
  Answer s = Ask(5000, 3, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_SCRATCH);
  EXPECT_EQ(s.hr, S_OK);
  EXPECT_EQ(s.w, 5000u);
  EXPECT_EQ(s.format, D3DFMT_A8R8G8B8);
  // Null pointers read as "not given" and receive nothing.
  EXPECT_EQ(D3DXCheckTextureRequirements(device_, nullptr, nullptr, nullptr, 0, nullptr, D3DPOOL_MANAGED), S_OK);
}

}  // namespace
