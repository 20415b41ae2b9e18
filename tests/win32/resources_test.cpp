// Resources: lookup by number, name and type, languages, the system's error
// texts for what is missing, loading and locking, injected failures.
#include <string>

#include "tests/win32/win32_fixture.h"

namespace {

class ResourcesTest : public Win32Test {
 protected:
  void SetUp() override {
    Win32Test::SetUp();
    platform::ClearResources();
  }
  void TearDown() override {
    platform::ClearResources();
    Win32Test::TearDown();
  }
};

std::string SystemText(DWORD error) {
  LPSTR text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0,
                           reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string s = n && text ? std::string(text, n) : std::string();
  LocalFree(text);
  return s;
}

TEST_F(ResourcesTest, FoundByNumberAndTypeWithExactBytes) {
  const uint8_t bitmap[] = {40, 0, 0, 0, 1, 2, 3};
  const uint8_t other[] = {9};
  platform::RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCEA(111), 0x0411, bitmap, sizeof bitmap);
  platform::RegisterResource(nullptr, RT_RCDATA, MAKEINTRESOURCEA(111), 0x0411, other, sizeof other);
  HMODULE self = GetModuleHandleA(nullptr);
  for (HMODULE module : {static_cast<HMODULE>(nullptr), self}) {
    HRSRC r = FindResourceA(module, MAKEINTRESOURCEA(111), RT_BITMAP);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(SizeofResource(module, r), sizeof bitmap);
    HGLOBAL g = LoadResource(module, r);
    ASSERT_NE(g, nullptr);
    const void* p = LockResource(g);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::memcmp(p, bitmap, sizeof bitmap), 0);
    // The same type test picks the other resource of the same number.
    HRSRC r2 = FindResourceA(module, MAKEINTRESOURCEA(111), RT_RCDATA);
    ASSERT_NE(r2, nullptr);
    EXPECT_EQ(SizeofResource(module, r2), 1u);
  }
  // "#111" is the number 111.
  EXPECT_EQ(FindResourceA(nullptr, "#111", RT_BITMAP), FindResourceA(nullptr, MAKEINTRESOURCEA(111), RT_BITMAP));
  // The wide-name lookup finds the same.
  EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(111), MAKEINTRESOURCEW(2)),
            FindResourceA(nullptr, MAKEINTRESOURCEA(111), RT_BITMAP));
}

TEST_F(ResourcesTest, StringNamesIgnoreCaseInBothLookups) {
  const char data[] = "abc";
  platform::RegisterResource(nullptr, "MyType", "Title", 0, data, 3);
  EXPECT_NE(FindResourceA(nullptr, "TITLE", "mytype"), nullptr);
  EXPECT_NE(FindResourceW(nullptr, u"title", u"MYTYPE"), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, "Titles", "MyType"), nullptr);
}

TEST_F(ResourcesTest, MissingResourcesSetTheSystemsErrorsAndTexts) {
  // A module with no resources at all.
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(111), RT_BITMAP), nullptr);
  EXPECT_EQ(GetLastError(), 1812u);
  EXPECT_EQ(SystemText(1812), "The specified image file did not contain a resource section.\r\n");

  const uint8_t b = 1;
  platform::RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCEA(111), 0x0411, &b, 1);
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(111), RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), 1813u);
  EXPECT_EQ(SystemText(1813), "The specified resource type cannot be found in the image file.\r\n");

  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(999), RT_BITMAP), nullptr);
  EXPECT_EQ(GetLastError(), 1814u);
  EXPECT_EQ(SystemText(1814), "The specified resource name cannot be found in the image file.\r\n");

  EXPECT_EQ(FindResourceExA(nullptr, RT_BITMAP, MAKEINTRESOURCEA(111), 0x0409), nullptr);
  EXPECT_EQ(GetLastError(), 1815u);
  EXPECT_NE(FindResourceExA(nullptr, RT_BITMAP, MAKEINTRESOURCEA(111), 0x0411), nullptr);
  // Neutral language falls back to whatever language the resource has.
  EXPECT_NE(FindResourceExA(nullptr, RT_BITMAP, MAKEINTRESOURCEA(111), 0), nullptr);

  // Another module's resources are its own.
  HMODULE other = reinterpret_cast<HMODULE>(0x5000);
  EXPECT_EQ(FindResourceA(other, MAKEINTRESOURCEA(111), RT_BITMAP), nullptr);
  EXPECT_EQ(GetLastError(), 1812u);
  platform::RegisterResource(other, RT_BITMAP, MAKEINTRESOURCEA(5), 0, &b, 1);
  EXPECT_NE(FindResourceA(other, MAKEINTRESOURCEA(5), RT_BITMAP), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(5), RT_BITMAP), nullptr);
}

TEST_F(ResourcesTest, LanguageChoiceWithoutALanguage) {
  const uint8_t ja = 1, en = 2, neutral = 3;
  platform::RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCEA(1), 0x0411, &ja, 1);
  platform::RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCEA(1), 0x0409, &en, 1);
  auto first = [] {
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(1), RT_BITMAP);
    return *static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, r)));
  };
  EXPECT_EQ(first(), en);
  platform::RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCEA(1), 0, &neutral, 1);
  EXPECT_EQ(first(), neutral);
  // Registering the same key again replaces the bytes.
  const uint8_t again = 4;
  platform::RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCEA(1), 0, &again, 1);
  EXPECT_EQ(first(), again);
}

TEST_F(ResourcesTest, BadHandlesAndInjectedFailures) {
  EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
  EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(0x1234)), nullptr);
  EXPECT_EQ(LockResource(nullptr), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, nullptr, RT_BITMAP), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  const uint8_t b[2] = {1, 2};
  platform::RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCEA(7), 0, b, 2);
  HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(7), RT_BITMAP);
  host_.FailAt("LoadResource");
  EXPECT_EQ(LoadResource(nullptr, r), nullptr);
  HGLOBAL g = LoadResource(nullptr, r);
  ASSERT_NE(g, nullptr);
  host_.FailAt("LockResource");
  EXPECT_EQ(LockResource(g), nullptr);
  EXPECT_NE(LockResource(g), nullptr);

  // An empty resource is found, has size 0 and still loads.
  platform::RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCEA(8), 0, nullptr, 0);
  HRSRC e = FindResourceA(nullptr, MAKEINTRESOURCEA(8), RT_BITMAP);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(SizeofResource(nullptr, e), 0u);
  EXPECT_NE(LoadResource(nullptr, e), nullptr);
}

TEST_F(ResourcesTest, FormatMessageIntoACallersBuffer) {
  char buf[128];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 1814, 0, buf, sizeof buf, nullptr);
  EXPECT_EQ(std::string(buf, n), "The specified resource name cannot be found in the image file.\r\n");
  char tiny[8];
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 1814, 0, tiny, sizeof tiny, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 123456, 0, buf, sizeof buf, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 1814, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), buf,
                           sizeof buf, nullptr),
            0u);
  EXPECT_EQ(SystemText(0x80004005), "Unspecified error\r\n");
  // Allocation failure: no buffer handed out.
  host_.FailAt("LocalAlloc", host_.CallCount("LocalAlloc") + 1);
  LPSTR text = reinterpret_cast<LPSTR>(0x1);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 1814, 0,
                           reinterpret_cast<LPSTR>(&text), 0, nullptr),
            0u);
  EXPECT_EQ(text, reinterpret_cast<LPSTR>(0x1));
}

}  // namespace
