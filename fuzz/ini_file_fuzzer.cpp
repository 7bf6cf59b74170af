// The INI reader and writer. The input's first line names a section, a key
// and a value separated by tabs; the rest is the file. The reads must agree
// with one another, and a write of a plain key and value must read back while
// every other key of the section keeps its value.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <strings.h>
#include <vector>

#include "fuzz_support.h"
#include "platform/ini_file.h"

namespace {

std::string iniPath;

[[noreturn]] void Fail(const char* what, const std::string& section, const std::string& key) {
  std::fprintf(stderr, "INI check failed: %s (section \"%s\", key \"%s\")\n", what, section.c_str(),
               key.c_str());
  std::abort();
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> parts(1);
  for (char c : line) {
    if (c == '\t')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

bool HasAny(const std::string& s, const char* chars) { return s.find_first_of(chars) != std::string::npos; }

// Names and values that a file can hold as written: one line, no
// surrounding blanks, nothing that reads as a section, comment or quotes.
bool Writable(const std::string& section, const std::string& key, const std::string& value) {
  auto trimmed = [](const std::string& s) { return s.empty() || (!Blank(s.front()) && !Blank(s.back())); };
  if (!trimmed(section) || !trimmed(key) || !trimmed(value)) return false;
  if (HasAny(section, "\r\n]") || HasAny(key, "\r\n=") || HasAny(value, "\r\n")) return false;
  if (key.empty() || key[0] == ';' || key[0] == '#' || key[0] == '[') return false;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  iniPath = fuzzsupport::ScratchPath("settings.ini");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (input.find('\0') != std::string::npos) return -1;  // names are C strings
  const size_t nl = input.find('\n');
  const std::vector<std::string> query = SplitTabs(input.substr(0, nl));
  const std::string section = query[0];
  const std::string key = query.size() > 1 ? query[1] : "key";
  const std::string value = query.size() > 2 ? query[2] : "value";
  const std::string file = nl == std::string::npos ? std::string() : input.substr(nl + 1);
  fuzzsupport::WriteScratchFile(iniPath, reinterpret_cast<const uint8_t*>(file.data()), file.size());

  platform::IniFile ini(iniPath);
  const std::string kAbsent = std::string(1, '\x01') + "absent";
  const std::string kOtherAbsent = std::string(1, '\x02') + "absent";
  const bool sectionExists = ini.SectionExists(section);
  const bool keyExists = ini.KeyExists(section, key);
  const std::vector<std::string> keys = ini.ReadSectionKeys(section);
  const bool listed =
      std::any_of(keys.begin(), keys.end(), [&](const std::string& k) { return SameName(k, key); });
  if (keyExists && !sectionExists) Fail("a key exists in a missing section", section, key);
  if (keyExists != listed) Fail("KeyExists and ReadSectionKeys disagree", section, key);
  // Absent when two different defaults both come back (a file may hold either).
  const bool absent = ini.ReadString(section, key, kAbsent) == kAbsent &&
                      ini.ReadString(section, key, kOtherAbsent) == kOtherAbsent;
  if (absent == keyExists) Fail("ReadString and KeyExists disagree", section, key);
  ini.ReadInteger(section, key, -1);

  std::vector<std::string> before;
  for (const std::string& k : keys) {
    if (!ini.KeyExists(section, k)) Fail("a listed key does not exist", section, k);
    before.push_back(ini.ReadString(section, k));
  }

  if (!Writable(section, key, value)) return 0;
  if (!ini.WriteString(section, key, value)) Fail("WriteString failed", section, key);
  if (ini.ReadString(section, key, kAbsent) != value)
    Fail("a written value does not read back", section, key);
  for (size_t i = 0; i < keys.size(); ++i) {
    if (SameName(keys[i], key)) continue;
    if (ini.ReadString(section, keys[i], kAbsent) != before[i])
      Fail("a write changed another key of the section", section, keys[i]);
  }
  ini.DeleteKey(section, key);
  ini.EraseSection(section);
  return 0;
}
