// The bash completion of quvexa-convert against the built program: bash
// runs the completion function on a command line and reports its answers.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/paths.h"

#if defined(QUVEXA_CONVERT_PATH) && defined(QUVEXA_COMPLETION_SCRIPT)

namespace {

// The answers for the command line, cursor at its end, one per element.
std::vector<std::string> Complete(const std::string& line) {
  setenv("QC_LINE", line.c_str(), 1);
  const std::string folder = platform::FolderPart(std::string(QUVEXA_CONVERT_PATH));
  const std::string command = "PATH='" + folder +
                              "':\"$PATH\" LC_ALL=C.UTF-8 bash --norc --noprofile -c '"
                              "source \"" QUVEXA_COMPLETION_SCRIPT
                              "\" || exit 1; "
                              "COMP_LINE=$QC_LINE; COMP_POINT=${#COMP_LINE}; "
                              "_quvexa_convert quvexa-convert; printf \"%s\\n\" \"${COMPREPLY[@]}\"'";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    pclose(pipe);
  }
  std::vector<std::string> answers;
  size_t start = 0;
  for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
    if (end > start) answers.push_back(out.substr(start, end - start));
  return answers;
}

bool Has(const std::vector<std::string>& answers, const std::string& answer) {
  for (const std::string& a : answers)
    if (a == answer) return true;
  return false;
}

}  // namespace

TEST(Completion, OptionsAndTypeCodes) {
  EXPECT_EQ(Complete("quvexa-convert --list-"), (std::vector<std::string>{"--list-options", "--list-types"}));
  EXPECT_TRUE(Has(Complete("quvexa-convert -"), "--overwrite"));
  EXPECT_TRUE(Has(Complete("quvexa-convert -"), "-t"));

  const std::vector<std::string> codes = Complete("quvexa-convert -t 50");
  EXPECT_TRUE(Has(codes, "500") && Has(codes, "507") && Has(codes, "509")) << testing::PrintToString(codes);
  for (const std::string& code : codes) EXPECT_EQ(code.rfind("50", 0), 0u) << code;
  EXPECT_TRUE(Has(Complete("quvexa-convert --type "), "none"));
  EXPECT_FALSE(Has(Complete("quvexa-convert --list-options "), "none"));
  EXPECT_TRUE(Has(Complete("quvexa-convert --list-options 20"), "209"));

  // Values nobody can guess are left alone.
  EXPECT_TRUE(Complete("quvexa-convert --cut ").empty());
}

TEST(Completion, CaptionsOfTheChosenTypeQuotedForTheCommandLine) {
  const std::string psp = "480\\*272\\ \\ \\(PSP\\ 3.03或更高固件版本适用\\)";
  EXPECT_EQ(Complete("quvexa-convert -t 507 --size 480"), std::vector<std::string>{psp});
  EXPECT_EQ(Complete("quvexa-convert --type=507 a.avi --size=480"), std::vector<std::string>{psp});
  EXPECT_EQ(Complete("quvexa-convert -t507 --size 480"), std::vector<std::string>{psp});
  // Inside an open quote the caption goes in as it is.
  EXPECT_EQ(Complete("quvexa-convert -t 507 --size '480"),
            std::vector<std::string>{"480*272  (PSP 3.03或更高固件版本适用)"});
  EXPECT_EQ(Complete("quvexa-convert -t 507 --size \"480"),
            std::vector<std::string>{"480*272  (PSP 3.03或更高固件版本适用)"});
  // Typed with backslashes, as the completion itself writes it.
  EXPECT_EQ(Complete("quvexa-convert -t 507 --size 480\\*272\\ \\ \\(P"), std::vector<std::string>{psp});

  // The default type 500 has no PSP sizes.
  const std::vector<std::string> sizes = Complete("quvexa-convert --size ");
  EXPECT_TRUE(Has(sizes, "1920\\*1080")) << testing::PrintToString(sizes);
  EXPECT_FALSE(Has(sizes, psp));

  // The shell replaces only what follows the last ":" of the word.
  EXPECT_EQ(Complete("quvexa-convert --aspect 普通视频4:"), std::vector<std::string>{"3模式"});

  // A list that a video codec replaces offers the replacement's captions too.
  const std::vector<std::string> rates = Complete("quvexa-convert -t 1 --video-bitrate 9");
  EXPECT_EQ(rates, std::vector<std::string>{"9000\\ kbps\\(极高质量\\)"});
}

#endif
