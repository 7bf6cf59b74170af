// Turns a program's --help text into a manual page, so that the page and
// the text the program prints can never disagree.
//
// The help text is read by its layout:
//   "Usage: prog ..." and the lines indented under it   -> SYNOPSIS
//   paragraphs at the left margin before any heading     -> DESCRIPTION
//   "Heading:" alone on a line, then indented lines      -> a sub-section of
//       OPTIONS when those lines list options ("-x, --long VALUE  text"),
//       else a section of its own (indented lines shown as typed)
//   "Title: text ..." starting a paragraph at the margin -> section TITLE
// Option lines give the options up to a gap of two spaces (or up to the
// section's description column); deeper lines continue the description;
// options listed without one share the next text that follows them.
#pragma once

#include <string>
#include <string_view>

namespace manpage {

struct TManPageInfo {
  std::string Name;  // the program, "quvexa-convert"
  int Section = 1;
  std::string Summary;  // the NAME line after the dash
  std::string Source;   // footer: "Quvexa 0.1.0"
  std::string Date;     // footer: "2026-12-09"; may be empty
  std::string Manual = "User Commands";
};

std::string HelpTextToRoff(std::string_view help, const TManPageInfo& info);

// Text for a roff line: backslashes and dashes escaped, and a line that
// would start with a control character ("." or "'") made literal.
std::string EscapeRoff(std::string_view text);

}  // namespace manpage
