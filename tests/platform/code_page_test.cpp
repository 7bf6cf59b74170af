#include "platform/code_page.h"

#include <clocale>
#include <string>

#include <gtest/gtest.h>

namespace {
class LocaleScope {
 public:
  explicit LocaleScope(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleScope() { std::setlocale(LC_ALL, saved_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_;
};
}  // namespace

TEST(CodePage, Utf8RoundTripAndInvalidBytes) {
  const std::wstring text = L"a视频\U0001F600é";
  EXPECT_EQ(platform::Widen(platform::Utf8(text)), text);
  EXPECT_EQ(platform::Utf8(L"视"), "\xE8\xA7\x86");
  EXPECT_EQ(platform::Widen("a\xFF"
                            "b"),
            L"a\uFFFDb");
  EXPECT_EQ(platform::Widen("\xE8\xA7"), L"\uFFFD\uFFFD");  // cut-off sequence
  EXPECT_EQ(platform::Widen("\xC0\x80"), L"\uFFFD\uFFFD");  // overlong form
}

TEST(CodePage, LocaleConversionFollowsTheCurrentCharset) {
  {
    LocaleScope c("C");
    std::string out;
    EXPECT_TRUE(platform::ToLocale(L"plain.avi", out));
    EXPECT_EQ(out, "plain.avi");
    EXPECT_FALSE(platform::ToLocale(L"视频.avi", out));
    EXPECT_EQ(platform::FromLocale("plain.avi"), L"plain.avi");
    // Bytes the charset cannot hold: taken as UTF-8 when they are.
    EXPECT_EQ(platform::FromLocale(platform::Utf8(L"视频")), L"视频");
  }
  {
    LocaleScope utf8("C.UTF-8");
    ASSERT_TRUE(utf8.ok());
    std::string out;
    EXPECT_TRUE(platform::ToLocale(L"视频.avi", out));
    EXPECT_EQ(out, platform::Utf8(L"视频.avi"));
    EXPECT_EQ(platform::FromLocale(out), L"视频.avi");
  }
}
