// The resource build step: files listed in a manifest are compiled into the
// program and found by number, type and language at run time.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::string Bytes(LPCSTR type, int id) {
  HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
  if (r == nullptr) return "<missing>";
  const char* p = static_cast<const char*>(LockResource(LoadResource(nullptr, r)));
  return std::string(p, SizeofResource(nullptr, r));
}

TEST(ResourceBuildStep, ManifestFilesAreResourcesOfTheProgram) {
  EXPECT_EQ(Bytes(RT_RCDATA, 200), "hello resource\n");
  EXPECT_EQ(Bytes(RT_BITMAP, 201), std::string("\x01\x02\x03", 3));
  EXPECT_NE(FindResourceExA(nullptr, RT_RCDATA, MAKEINTRESOURCEA(200), 0x0411), nullptr);
  EXPECT_NE(FindResourceExA(nullptr, RT_BITMAP, MAKEINTRESOURCEA(201), 0x0409), nullptr);
  EXPECT_EQ(FindResourceExA(nullptr, RT_BITMAP, MAKEINTRESOURCEA(201), 0x0411), nullptr);
  EXPECT_EQ(Bytes(RT_BITMAP, 200), "<missing>");
}

}  // namespace
