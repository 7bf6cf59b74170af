// The manual page made from a --help text: its structure for a text of
// each layout the converter's help uses, and the real page of the built
// quvexa-convert as groff renders it.
#include "man/help_to_roff.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

manpage::TManPageInfo Info() {
  manpage::TManPageInfo info;
  info.Name = "tool";
  info.Summary = "do things";
  info.Source = "Tool 1.0";
  info.Date = "2026-01-02";
  return info;
}

const char* const kHelp = R"(Usage: tool [options] FILE...
       tool --list | --show CODE

Does things to each FILE.
.dotted line and a back\slash.

Output:
  -t, --type CODE         the type (default 5)
  -o, --output-dir DIR    output folder, made
                          when missing
      --show-entries CODE the longest one reaches the column

Choices:
      --alpha NAME     --beta NAME
      --gamma NAME
  A shared note for the three.
      --flip, --flop
                          turn it over

Exit status: 0 when done,
1 otherwise.

Examples:
  tool -t 5 'a  b.avi'
)";

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    pclose(pipe);
  }
  return out;
}

}  // namespace

TEST(HelpToRoff, HeaderNameAndSynopsis) {
  const std::string page = manpage::HelpTextToRoff(kHelp, Info());
  EXPECT_EQ(page.rfind(".\\\" -*- coding: UTF-8 -*-\n", 0), 0u) << "preconv reads the first line";
  EXPECT_NE(page.find(".TH TOOL 1 \"2026-01-02\" \"Tool 1.0\" \"User Commands\"\n"), std::string::npos);
  EXPECT_NE(page.find(".SH NAME\ntool \\- do things\n"), std::string::npos);
  EXPECT_NE(page.find(".SH SYNOPSIS\n\\fBtool\\fR [options] \\fIFILE...\\fR\n.br\n"
                      "\\fBtool\\fR \\fB\\-\\-list\\fR | \\fB\\-\\-show\\fR \\fICODE\\fR\n"),
            std::string::npos)
      << page;
  // Text lines that would be requests stay text; backslashes are printed.
  EXPECT_NE(page.find(".SH DESCRIPTION\nDoes things to each FILE.\n\\&.dotted line and a back\\eslash.\n"),
            std::string::npos)
      << page;
}

TEST(HelpToRoff, OptionListsWithGapsColumnsContinuationsAndSharedTexts) {
  const std::string page = manpage::HelpTextToRoff(kHelp, Info());
  EXPECT_NE(
      page.find(
          ".SH OPTIONS\n.SS \"Output\"\n"
          ".TP\n\\fB\\-t\\fR, \\fB\\-\\-type\\fR \\fICODE\\fR\nthe type (default 5)\n"
          ".TP\n\\fB\\-o\\fR, \\fB\\-\\-output\\-dir\\fR \\fIDIR\\fR\noutput folder, made\nwhen missing\n"
          ".TP\n\\fB\\-\\-show\\-entries\\fR \\fICODE\\fR\nthe longest one reaches the column\n"),
      std::string::npos)
      << page;
  // A row of options and a lone one share the note after them; the next
  // entry's text is on deeper lines only.
  EXPECT_NE(page.find(".SS \"Choices\"\n"
                      ".TP\n\\fB\\-\\-alpha\\fR \\fINAME\\fR\n.TQ\n\\fB\\-\\-beta\\fR \\fINAME\\fR\n"
                      ".TQ\n\\fB\\-\\-gamma\\fR \\fINAME\\fR\nA shared note for the three.\n"
                      ".TP\n\\fB\\-\\-flip\\fR, \\fB\\-\\-flop\\fR\nturn it over\n"),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find(".SH OPTIONS", page.find(".SH OPTIONS") + 1), std::string::npos)
      << "one OPTIONS section";
}

TEST(HelpToRoff, TitledParagraphsAndExamples) {
  const std::string page = manpage::HelpTextToRoff(kHelp, Info());
  EXPECT_NE(page.find(".SH \"EXIT STATUS\"\n0 when done,\n1 otherwise.\n"), std::string::npos) << page;
  // Examples keep their spacing and get plain hyphen-minus signs.
  EXPECT_NE(page.find(".SH \"EXAMPLES\"\n.PP\n.RS 4\n.nf\ntool \\-t 5 'a  b.avi'\n.fi\n.RE\n"),
            std::string::npos)
      << page;
  EXPECT_EQ(manpage::EscapeRoff("a-b\\c"), "a\\-b\\ec");
}

#ifdef QUVEXA_MAN_PAGE
// The built converter's page: every option its --help names is an entry,
// and groff renders the page without a warning.
TEST(HelpToRoff, ConverterPageListsEveryOptionAndRendersCleanly) {
  std::ifstream in(QUVEXA_MAN_PAGE);
  ASSERT_TRUE(in) << QUVEXA_MAN_PAGE;
  std::stringstream buf;
  buf << in.rdbuf();
  const std::string page = buf.str();

  const std::string help = Capture(std::string("'") + QUVEXA_CONVERT_PATH + "' --help");
  ASSERT_FALSE(help.empty());
  // The long options of the lines that start with an option.
  std::set<std::string> options;
  std::istringstream lines(help);
  for (std::string line; std::getline(lines, line);) {
    if (line.find_first_not_of(' ') == std::string::npos || line[line.find_first_not_of(' ')] != '-')
      continue;
    for (size_t at = line.find("--"); at != std::string::npos; at = line.find("--", at + 2)) {
      if (at > 0 && line[at - 1] != ' ' && line[at - 1] != ',') continue;
      size_t end = at + 2;
      while (end < line.size() && ((line[end] >= 'a' && line[end] <= 'z') || line[end] == '-')) ++end;
      if (end > at + 2) options.insert(line.substr(at, end - at));
    }
  }
  ASSERT_GE(options.size(), 20u);
  for (const std::string& option : options) {
    const std::string bold = "\\fB" + manpage::EscapeRoff(option) + "\\fR";
    bool entry = false;
    for (size_t at = page.find(bold); at != std::string::npos && !entry; at = page.find(bold, at + 1)) {
      const size_t lineStart = page.rfind('\n', at);
      entry =
          lineStart != std::string::npos && lineStart >= 4 &&
          (page.compare(lineStart - 4, 5, "\n.TP\n") == 0 || page.compare(lineStart - 4, 5, "\n.TQ\n") == 0);
    }
    EXPECT_TRUE(entry) << option << " has no entry";
  }

  if (Capture("command -v groff").empty()) GTEST_SKIP() << "groff is not installed";
  const std::string warnings =
      Capture(std::string("LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z '") + QUVEXA_MAN_PAGE + "' 2>&1");
  EXPECT_EQ(warnings, "");
  const std::string text = Capture(std::string("LC_ALL=C.UTF-8 groff -k -man -Tutf8 -P-cbou '") +
                                   QUVEXA_MAN_PAGE + "' 2>/dev/null");
  EXPECT_NE(text.find("quvexa-convert - convert video and audio files"), std::string::npos) << text;
  EXPECT_NE(text.find("480*272  (PSP 3.03或更高固件版本适用)"), std::string::npos)
      << "Chinese example intact";
}
#endif
