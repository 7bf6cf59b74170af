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
  // Bytes that are not UTF-8 ride along as U+DC80 + byte and come back.
  EXPECT_EQ(platform::Widen("a\xFF"
                            "b"),
            L"a\xDCFF"
            L"b");
  EXPECT_EQ(platform::Widen("\xE8\xA7"), L"\xDCE8\xDCA7");  // cut-off sequence
  EXPECT_EQ(platform::Widen("\xC0\x80"), L"\xDCC0\xDC80");  // overlong form
}

// A GBK name from an old archive ("测试.avi"), an encoded surrogate and a
// stray continuation byte: every byte string survives wide text unchanged,
// under a UTF-8 locale and under the C locale.
TEST(CodePage, NamesThatAreNotUtf8RoundTripToTheSameBytes) {
  const std::string names[] = {"\xB2\xE2\xCA\xD4.avi", "a\xED\xB2\x80z", "\x80\xBF", "mix\xE8\xA7\x86\xB2."};
  for (const char* locale : {"C.UTF-8", "C"}) {
    LocaleScope scope(locale);
    ASSERT_TRUE(scope.ok()) << locale;
    for (const std::string& name : names) {
      const std::wstring wide = platform::Widen(name);
      EXPECT_EQ(platform::Utf8(wide), name);
      EXPECT_EQ(platform::Utf8(platform::FromLocale(name)), name) << locale;
      // Not something the locale can hold: the wide road takes it.
      std::string local;
      EXPECT_FALSE(platform::ToLocale(wide, local)) << locale;
    }
  }
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
