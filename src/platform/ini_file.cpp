#include "platform/ini_file.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

struct Lines {
  std::vector<std::string> text;  // without line ends
  bool crlf = false;              // the file used CR LF line ends
  bool bom = false;               // the file began with a UTF-8 byte-order mark
  bool finalNewline = true;       // the last line ended with a line end
};

Lines Load(const std::string& path) {
  Lines lines;
  std::ifstream in(path, std::ios::binary);
  if (!in) return lines;
  std::stringstream buf;
  buf << in.rdbuf();
  std::string all = buf.str();
  if (all.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    lines.bom = true;
    all.erase(0, 3);
  }
  size_t start = 0;
  while (start < all.size()) {
    size_t nl = all.find('\n', start);
    std::string line = all.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    if (nl == std::string::npos) lines.finalNewline = false;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      lines.crlf = true;
    }
    lines.text.push_back(line);
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return lines;
}

// Writes through a temporary file in the same folder and renames it over the
// old one, so a failed write never leaves a half-written settings file.
bool Save(const std::string& path, const Lines& lines) {
  const char* eol = lines.crlf ? "\r\n" : "\n";
  std::string all = lines.bom ? "\xEF\xBB\xBF" : "";
  for (size_t i = 0; i < lines.text.size(); ++i) {
    all += lines.text[i];
    if (i + 1 < lines.text.size() || lines.finalNewline) all += eol;
  }
  const std::string temp = path + ".tmp-" + std::to_string(::getpid());
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(all.data(), 1, all.size(), f) == all.size();
  ok = (std::fflush(f) == 0) && ok;
  ok = (std::fclose(f) == 0) && ok;
  struct stat st;
  if (ok && ::stat(path.c_str(), &st) == 0) ::chmod(temp.c_str(), st.st_mode & 07777);
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(temp.c_str());
  return ok;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// "[name]" lines: the name between the brackets, trimmed.
bool IsSection(const std::string& line, std::string* name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t[0] != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  if (name) *name = Trim(t.substr(1, close - 1));
  return true;
}

bool IsComment(const std::string& line) {
  std::string t = Trim(line);
  return t.empty() || t[0] == ';' || t[0] == '#';
}

// A key line: the text before "=" (trimmed) is the key; a line without "="
// is a key with an empty value.
bool IsKey(const std::string& line, std::string* key, std::string* value) {
  if (IsComment(line) || IsSection(line, nullptr)) return false;
  size_t eq = line.find('=');
  if (key) *key = Trim(line.substr(0, eq));
  if (value) *value = eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
  return true;
}

// Index of the first "[section]" line, or -1.
long FindSection(const Lines& lines, const std::string& section) {
  std::string name;
  for (size_t i = 0; i < lines.text.size(); ++i)
    if (IsSection(lines.text[i], &name) && SameName(name, section)) return long(i);
  return -1;
}

// End (exclusive) of the section that starts at `start`.
size_t SectionEnd(const Lines& lines, long start) {
  size_t i = size_t(start) + 1;
  while (i < lines.text.size() && !IsSection(lines.text[i], nullptr)) ++i;
  return i;
}

long FindKey(const Lines& lines, long start, const std::string& key, std::string* value) {
  if (start < 0) return -1;
  const size_t end = SectionEnd(lines, start);
  std::string k;
  for (size_t i = size_t(start) + 1; i < end; ++i)
    if (IsKey(lines.text[i], &k, value) && SameName(k, key)) return long(i);
  return -1;
}

std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  Lines lines = Load(path_);
  std::string value;
  if (FindKey(lines, FindSection(lines, section), key, &value) < 0) return defaultValue;
  return Unquote(value);
}

long IniFile::ReadInteger(const std::string& section, const std::string& key, long defaultValue) const {
  std::string v = ReadString(section, key);
  if (v.empty()) return defaultValue;
  char* end = nullptr;
  long n = std::strtol(v.c_str(), &end, 10);
  return end == v.c_str() ? defaultValue : n;
}

bool IniFile::SectionExists(const std::string& section) const {
  return FindSection(Load(path_), section) >= 0;
}

bool IniFile::KeyExists(const std::string& section, const std::string& key) const {
  Lines lines = Load(path_);
  return FindKey(lines, FindSection(lines, section), key, nullptr) >= 0;
}

std::vector<std::string> IniFile::ReadSectionKeys(const std::string& section) const {
  Lines lines = Load(path_);
  std::vector<std::string> keys;
  long start = FindSection(lines, section);
  if (start < 0) return keys;
  std::string k;
  for (size_t i = size_t(start) + 1; i < SectionEnd(lines, start); ++i)
    if (IsKey(lines.text[i], &k, nullptr)) keys.push_back(k);
  return keys;
}

bool IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  Lines lines = Load(path_);
  const std::string entry = key + "=" + value;
  long start = FindSection(lines, section);
  if (start < 0) {
    if (!lines.text.empty() && !Trim(lines.text.back()).empty()) lines.text.push_back(std::string());
    lines.text.push_back("[" + section + "]");
    lines.text.push_back(entry);
    lines.finalNewline = true;
    return Save(path_, lines);
  }
  long at = FindKey(lines, start, key, nullptr);
  if (at >= 0) {
    lines.text[size_t(at)] = entry;
    return Save(path_, lines);
  }
  // After the section's last non-blank line, so blank lines that separate
  // it from the next section stay where they are.
  size_t insert = SectionEnd(lines, start);
  while (insert > size_t(start) + 1 && Trim(lines.text[insert - 1]).empty()) --insert;
  lines.text.insert(lines.text.begin() + long(insert), entry);
  if (insert == lines.text.size() - 1) lines.finalNewline = true;
  return Save(path_, lines);
}

bool IniFile::WriteInteger(const std::string& section, const std::string& key, long value) {
  return WriteString(section, key, std::to_string(value));
}

bool IniFile::DeleteKey(const std::string& section, const std::string& key) {
  Lines lines = Load(path_);
  long at = FindKey(lines, FindSection(lines, section), key, nullptr);
  if (at < 0) return true;
  lines.text.erase(lines.text.begin() + at);
  return Save(path_, lines);
}

bool IniFile::EraseSection(const std::string& section) {
  Lines lines = Load(path_);
  long start = FindSection(lines, section);
  if (start < 0) return true;
  lines.text.erase(lines.text.begin() + start, lines.text.begin() + long(SectionEnd(lines, start)));
  return Save(path_, lines);
}

}  // namespace platform
