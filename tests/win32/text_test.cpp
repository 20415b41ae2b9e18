// Message boxes and code-page conversion: Shift-JIS bytes shown as UTF-8,
// the default caption, raw bytes kept for tests, broken input survives.
#include "tests/win32/win32_fixture.h"

#include <iterator>

#include "platform/win32/message_box_style.h"

namespace {

class TextTest : public Win32Test {};

// "Direct3Dの作成に失敗しました" in code page 932.
const char kCreateFailedSjis[] =
    "Direct3D\x82\xCC\x8D\xEC\x90\xAC\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";

TEST_F(TextTest, ShiftJisMessageIsShownAsUtf8WithDefaultCaption) {
  EXPECT_EQ(MessageBoxA(nullptr, kCreateFailedSjis, nullptr, MB_OK | MB_ICONERROR), IDOK);
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  const host::MessageBoxRequest& box = host_.MessageBoxes()[0];
  EXPECT_EQ(box.textUtf8, "Direct3Dの作成に失敗しました");
  EXPECT_EQ(box.textBytes, kCreateFailedSjis);
  EXPECT_FALSE(box.captionBytes.has_value());
  EXPECT_EQ(box.captionUtf8, "Error");
  EXPECT_EQ(box.buttons, host::DialogButtons::Ok);
  EXPECT_EQ(box.icon, host::DialogIcon::Error);
  EXPECT_FALSE(box.owned);  // no owner window: the box stands on its own
}

TEST_F(TextTest, StyleBitsReachTheHostAsButtonsIconAndDefaultAndAnswersComeBackAsIds) {
  HWND hwnd = MakeWindow("VELMORA", 0);
  const UINT styles[] = {MB_OK, MB_OKCANCEL | MB_ICONQUESTION, MB_ABORTRETRYIGNORE | MB_ICONWARNING | 0x200,
                         MB_YESNOCANCEL | MB_ICONINFORMATION | 0x100, MB_YESNO | MB_ICONERROR, MB_RETRYCANCEL};
  // The default button is what the headless host answers, as Enter would.
  const int answers[] = {IDOK, IDOK, IDIGNORE, IDNO, IDYES, IDRETRY};
  for (size_t i = 0; i < std::size(styles); ++i) {
    EXPECT_EQ(MessageBoxA(hwnd, "x", "y", styles[i]), answers[i]) << i;
    ASSERT_EQ(host_.MessageBoxes().size(), i + 1);
    EXPECT_EQ(platform::MessageBoxStyleOf(host_.MessageBoxes()[i]), styles[i]) << i;
    EXPECT_TRUE(host_.MessageBoxes()[i].owned);
  }
}

TEST_F(TextTest, CaptionIsConvertedToo) {
  MessageBoxA(nullptr, "x", "\x83\x47\x83\x89\x81\x5B", MB_OK);  // エラー
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  EXPECT_EQ(host_.MessageBoxes()[0].captionUtf8, "エラー");
  EXPECT_EQ(host_.MessageBoxes()[0].captionBytes.value_or(""), "\x83\x47\x83\x89\x81\x5B");
}

TEST_F(TextTest, BrokenShiftJisKeepsTheRestOfTheText) {
  // A lead byte with no trail byte in the middle, and one at the end.
  MessageBoxA(nullptr, "ab\x82" "cd\x82", nullptr, MB_OK);
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  const std::string& t = host_.MessageBoxes()[0].textUtf8;
  EXPECT_EQ(t.substr(0, 2), "ab");
  EXPECT_NE(t.find("\xEF\xBF\xBD"), std::string::npos);
  EXPECT_NE(t.find('d'), std::string::npos);
}

TEST_F(TextTest, MessageBoxRefusesAnUnknownOwnerAndAcceptsNullText) {
  EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(0x4321), "x", nullptr, MB_OK), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_TRUE(host_.MessageBoxes().empty());
  HWND hwnd = MakeWindow("VELMORA", 0);
  EXPECT_EQ(MessageBoxA(hwnd, nullptr, nullptr, MB_YESNO), IDYES);
  EXPECT_EQ(host_.MessageBoxes().at(0).textUtf8, "");
}

TEST_F(TextTest, MultiByteToWideCharMeasuresConvertsAndChecks) {
  int n = MultiByteToWideChar(CP_ACP, 0, kCreateFailedSjis, -1, nullptr, 0);
  EXPECT_EQ(n, 8 + 10 + 1);  // "Direct3D", ten kana and kanji, the null
  std::vector<WCHAR> w(static_cast<size_t>(n));
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, kCreateFailedSjis, -1, w.data(), n), n);
  EXPECT_EQ(w[0], u'D');
  EXPECT_EQ(w[8], u'の');
  EXPECT_EQ(w[static_cast<size_t>(n) - 1], 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kCreateFailedSjis, -1, w.data(), 3), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xFF", 1, w.data(), n), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", 1, w.data(), n), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a", 0, w.data(), n), 0);
}

}  // namespace
