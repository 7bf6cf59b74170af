#include "man/help_to_roff.h"

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

namespace manpage {
namespace {

struct TLine {
  size_t Indent = 0;
  std::string Text;  // without the indentation
  bool Blank() const { return Text.empty(); }
};

std::vector<TLine> SplitLines(std::string_view help) {
  std::vector<TLine> lines;
  size_t start = 0;
  while (start < help.size()) {
    size_t end = help.find('\n', start);
    if (end == std::string_view::npos) end = help.size();
    std::string_view raw = help.substr(start, end - start);
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == ' ' || raw.back() == '\t'))
      raw.remove_suffix(1);
    const size_t indent = raw.find_first_not_of(' ');
    lines.push_back(indent == std::string_view::npos ? TLine{}
                                                     : TLine{indent, std::string(raw.substr(indent))});
    start = end + 1;
  }
  return lines;
}

std::string Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return text;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "-x" or "--long…" at the start of the text.
bool StartsWithOption(std::string_view text) {
  return text.size() > 1 && text[0] == '-' && (IsLetter(text[1]) || (text[1] == '-' && text.size() > 2));
}

// A placeholder for a value: capitals, digits and ":.-_", e.g. CODE,
// HH:MM:SS-HH:MM:SS, FILE...
bool IsPlaceholder(std::string_view word) {
  bool capital = false;
  for (char c : word) {
    if (c >= 'A' && c <= 'Z')
      capital = true;
    else if (!((c >= '0' && c <= '9') || c == ':' || c == '.' || c == '-' || c == '_'))
      return false;
  }
  return capital;
}

std::string Bold(std::string_view text) { return "\\fB" + EscapeRoff(text) + "\\fR"; }
std::string Italic(std::string_view text) { return "\\fI" + EscapeRoff(text) + "\\fR"; }

// Guards a finished roff text line against being read as a request.
std::string RoffLine(std::string line) {
  if (!line.empty() && (line[0] == '.' || line[0] == '\'')) line.insert(0, "\\&");
  return line + "\n";
}

// One word of an option list or synopsis: options bold, placeholders
// italic, brackets and separating commas plain.
std::string FormatWord(std::string_view word) {
  std::string before, after;
  while (!word.empty() && word.front() == '[') {
    before += '[';
    word.remove_prefix(1);
  }
  while (!word.empty() && (word.back() == ']' || word.back() == ',')) {
    after.insert(after.begin(), word.back());
    word.remove_suffix(1);
  }
  std::string core;
  if (StartsWithOption(word)) {
    const size_t equals = word.find('=');
    core = equals == std::string_view::npos
               ? Bold(word)
               : Bold(word.substr(0, equals)) + "=" + Italic(word.substr(equals + 1));
  } else if (IsPlaceholder(word)) {
    core = Italic(word);
  } else {
    core = EscapeRoff(word);
  }
  return EscapeRoff(before) + core + EscapeRoff(after);
}

std::string FormatWords(std::string_view text, bool firstBold = false) {
  std::string out;
  size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) {
      if (!out.empty()) out += ' ';
      const std::string_view word = text.substr(start, end - start);
      out += firstBold && first ? Bold(word) : FormatWord(word);
      first = false;
    }
    start = end + 1;
  }
  return out;
}

// Running text: option names that it mentions are set in bold.
std::string FormatProse(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const bool wordStart =
        i == 0 || text[i - 1] == ' ' || text[i - 1] == '(' || text[i - 1] == '\'' || text[i - 1] == '"';
    if (wordStart && StartsWithOption(text.substr(i))) {
      size_t end = i + 1;
      while (end < text.size() &&
             (IsLetter(text[end]) || text[end] == '-' || (text[end] >= '0' && text[end] <= '9')))
        ++end;
      out += Bold(text.substr(i, end - i));
      i = end;
    } else {
      out += EscapeRoff(text.substr(i, 1));
      ++i;
    }
  }
  return out;
}

// One option entry: its spellings (several when options share a text) and
// the description lines.
struct TEntry {
  size_t Indent = 0;
  std::vector<std::string> Tags;
  std::vector<std::string> Text;
};

// The column at which descriptions start in an option list: where most
// option lines resume after their gap and most continuation lines begin.
size_t DescriptionColumn(const std::vector<TLine>& body) {
  std::map<size_t, int> votes;
  size_t optionIndent = std::string::npos;
  for (const TLine& line : body)
    if (StartsWithOption(line.Text)) optionIndent = std::min(optionIndent, line.Indent);
  for (const TLine& line : body) {
    if (line.Blank()) continue;
    if (StartsWithOption(line.Text)) {
      const size_t gap = line.Text.find("  ");
      if (gap != std::string::npos) ++votes[line.Indent + line.Text.find_first_not_of(' ', gap)];
    } else if (optionIndent != std::string::npos && line.Indent > optionIndent) {
      ++votes[line.Indent];
    }
  }
  size_t best = 0;
  int bestVotes = 0;
  for (const auto& [column, count] : votes)
    if (count > bestVotes) best = column, bestVotes = count;
  return best;
}

// Splits an option line into spellings and the start of its description.
void SplitOptionLine(const TLine& line, size_t descColumn, std::vector<std::string>& tags,
                     std::string& text) {
  const std::string& rest = line.Text;
  const size_t gap = rest.find("  ");
  std::string tag = rest;
  text.clear();
  if (gap != std::string::npos) {
    tag = rest.substr(0, gap);
    text = Trim(rest.substr(gap));
  } else if (descColumn > line.Indent + 1 && line.Indent + rest.size() > descColumn) {
    // A spelling that reaches the description column leaves one space.
    const size_t at = descColumn - line.Indent;
    if (rest[at - 1] == ' ' && rest[at] != ' ') {
      tag = Trim(rest.substr(0, at - 1));
      text = rest.substr(at);
    }
  }
  tags.clear();
  if (StartsWithOption(text)) {
    // A row of options side by side, none with a description.
    size_t start = 0;
    while (start < rest.size()) {
      size_t end = rest.find("  ", start);
      if (end == std::string::npos) end = rest.size();
      if (const std::string part = Trim(rest.substr(start, end - start)); !part.empty()) tags.push_back(part);
      start = end + 2;
    }
    text.clear();
  } else {
    tags.push_back(tag);
  }
}

void WriteEntry(const TEntry& entry, std::string& out) {
  for (size_t i = 0; i < entry.Tags.size(); ++i)
    out += (i == 0 ? ".TP\n" : ".TQ\n") + RoffLine(FormatWords(entry.Tags[i]));
  for (const std::string& line : entry.Text) out += RoffLine(FormatProse(line));
}

void WriteOptionList(const std::vector<TLine>& body, std::string& out) {
  const size_t descColumn = DescriptionColumn(body);
  std::optional<TEntry> entry;
  auto flush = [&] {
    if (entry) WriteEntry(*entry, out);
    entry.reset();
  };
  for (const TLine& line : body) {
    if (line.Blank()) {
      flush();
      continue;
    }
    const bool option = StartsWithOption(line.Text) && (descColumn == 0 || line.Indent < descColumn);
    if (option) {
      std::vector<std::string> tags;
      std::string text;
      SplitOptionLine(line, descColumn, tags, text);
      if (entry && entry->Text.empty() && text.empty()) {
        entry->Tags.insert(entry->Tags.end(), tags.begin(), tags.end());
        continue;
      }
      flush();
      entry = TEntry{line.Indent, tags, {}};
      if (!text.empty()) entry->Text.push_back(text);
    } else if (entry && (line.Indent > entry->Indent || entry->Text.empty())) {
      entry->Text.push_back(line.Text);
    } else {
      flush();
      out += ".PP\n" + RoffLine(FormatProse(line.Text));
    }
  }
  flush();
}

// Lines shown as typed (examples), indented.
void WriteVerbatim(const std::vector<TLine>& body, std::string& out) {
  size_t base = std::string::npos;
  for (const TLine& line : body)
    if (!line.Blank()) base = std::min(base, line.Indent);
  out += ".PP\n.RS 4\n.nf\n";
  for (const TLine& line : body)
    out +=
        RoffLine(line.Blank() ? std::string() : std::string(line.Indent - base, ' ') + EscapeRoff(line.Text));
  out += ".fi\n.RE\n";
}

// "Title: text…" at the start of a paragraph: a short capitalised title.
bool SplitTitledParagraph(const std::string& first, std::string& title, std::string& rest) {
  const size_t colon = first.find(": ");
  if (colon == std::string::npos || colon == 0 || colon > 30 || !(first[0] >= 'A' && first[0] <= 'Z'))
    return false;
  for (size_t i = 0; i < colon; ++i)
    if (!IsLetter(first[i]) && first[i] != ' ') return false;
  title = first.substr(0, colon);
  rest = Trim(first.substr(colon + 2));
  // The text now starts a section: "Progress: on a terminal" -> "On a terminal".
  if (!rest.empty() && rest[0] >= 'a' && rest[0] <= 'z') rest[0] = char(rest[0] - 'a' + 'A');
  return true;
}

}  // namespace

std::string EscapeRoff(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  return out;
}

std::string HelpTextToRoff(std::string_view help, const TManPageInfo& info) {
  const std::vector<TLine> lines = SplitLines(help);
  std::string out = ".\\\" -*- coding: UTF-8 -*-\n";
  out += ".\\\" Made by the build from the text of \"" + info.Name + " --help\".\n";
  out += ".TH " + EscapeRoff(Upper(info.Name)) + " " + std::to_string(info.Section) + " \"" + info.Date +
         "\" \"" + info.Source + "\" \"" + info.Manual + "\"\n";
  out += ".SH NAME\n" + RoffLine(EscapeRoff(info.Name) + " \\- " + EscapeRoff(info.Summary));

  size_t i = 0;
  const std::string usage = "Usage:";
  if (!lines.empty() && lines[0].Indent == 0 && lines[0].Text.rfind(usage, 0) == 0) {
    out += ".SH SYNOPSIS\n";
    out += RoffLine(FormatWords(Trim(lines[0].Text.substr(usage.size())), true));
    for (i = 1; i < lines.size() && !lines[i].Blank() && lines[i].Indent > 0; ++i)
      out += ".br\n" + RoffLine(FormatWords(lines[i].Text, true));
  }

  bool inSection = false, optionsOpened = false;
  while (i < lines.size()) {
    if (lines[i].Blank()) {
      ++i;
      continue;
    }
    const TLine& first = lines[i];
    if (first.Indent == 0 && first.Text.back() == ':') {
      // A heading and the indented lines under it.
      std::vector<TLine> body;
      for (++i; i < lines.size() && (lines[i].Blank() || lines[i].Indent > 0); ++i) body.push_back(lines[i]);
      while (!body.empty() && body.back().Blank()) body.pop_back();
      const std::string title = first.Text.substr(0, first.Text.size() - 1);
      bool listsOptions = false;
      for (const TLine& line : body) listsOptions = listsOptions || StartsWithOption(line.Text);
      if (listsOptions) {
        if (!optionsOpened) out += ".SH OPTIONS\n";
        optionsOpened = true;
        out += ".SS \"" + EscapeRoff(title) + "\"\n";
        WriteOptionList(body, out);
      } else {
        out += ".SH \"" + EscapeRoff(Upper(title)) + "\"\n";
        WriteVerbatim(body, out);
      }
      inSection = true;
      continue;
    }
    if (first.Indent > 0) {
      // Indented lines outside any heading.
      std::vector<TLine> body;
      for (; i < lines.size() && lines[i].Indent > 0; ++i) body.push_back(lines[i]);
      WriteVerbatim(body, out);
      continue;
    }
    // A paragraph at the margin.
    std::vector<std::string> paragraph;
    for (; i < lines.size() && !lines[i].Blank() && lines[i].Indent == 0; ++i)
      paragraph.push_back(lines[i].Text);
    std::string title, rest;
    if (SplitTitledParagraph(paragraph[0], title, rest)) {
      out += ".SH \"" + EscapeRoff(Upper(title)) + "\"\n";
      paragraph[0] = rest;
      inSection = true;
    } else if (!inSection) {
      out += ".SH DESCRIPTION\n";
      inSection = true;
    } else {
      out += ".PP\n";
    }
    for (const std::string& line : paragraph)
      if (!line.empty()) out += RoffLine(FormatProse(line));
  }
  return out;
}

}  // namespace manpage
