// INI files with the lookup and write-back rules of the classic profile
// functions: section and key names compare without regard to letter case
// (ASCII), the first matching section and key win, values are trimmed and a
// missing value gives the caller's default. Writing creates the file, the
// section and the key as needed and keeps every other line as it was.
// Text is UTF-8. Every call reads the file afresh, so two objects (or two
// processes) on one file see each other's writes.
#pragma once

#include <string>
#include <vector>

namespace platform {

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  // The value of the key, surrounding blanks removed and one pair of
  // matching quotes ("…" or '…') taken off; defaultValue when the file,
  // the section or the key is missing.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue = std::string()) const;
  // The leading decimal number of the value (optional sign), else defaultValue.
  long ReadInteger(const std::string& section, const std::string& key, long defaultValue) const;
  bool SectionExists(const std::string& section) const;
  bool KeyExists(const std::string& section, const std::string& key) const;
  // Key names of the section in file order.
  std::vector<std::string> ReadSectionKeys(const std::string& section) const;

  // Sets key=value, replacing the first existing line of the key or adding
  // it after the section's last entry; adds the section at the end of the
  // file when it is missing. Returns false when the file cannot be written.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, long value);
  bool DeleteKey(const std::string& section, const std::string& key);
  bool EraseSection(const std::string& section);

 private:
  std::string path_;
};

}  // namespace platform
