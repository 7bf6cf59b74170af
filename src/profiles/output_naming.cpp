#include "profiles/output_naming.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

#include "profiles/file_names.h"

namespace profiles {

std::string DefaultOutputFolder() {
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr && *env != '\0') {
    home = env;
  } else if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
    home = user->pw_dir;
  }
  return JoinPath(home, "Video_Directory");
}

bool PathExistsOnDisk(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::path(path), error);
}

std::string NumberedName(std::string_view stem, std::string_view ext, const TFileExists& exists) {
  for (int64_t n = 1;; ++n) {
    std::string name = std::string(stem) + "(New_" + std::to_string(n) + ")" + std::string(ext);
    if (!exists(name)) return name;
  }
}

std::string AvoidExisting(const std::string& name, TExistingFileAction action, const TFileExists& exists) {
  if (action != efNewName || !exists(name)) return name;
  const std::string ext = ExtractFileExt(name);
  return NumberedName(std::string_view(name).substr(0, name.size() - ext.size()), ext, exists);
}

std::string SingleJobOutputName(const std::string& dialogOutputName, TExistingFileAction action,
                                const TFileExists& exists) {
  return AvoidExisting(dialogOutputName, action, exists);
}

std::string ManyJobsOutputName(std::string_view outputFolder, std::string_view inputFileName,
                               const std::string& dialogOutputName, TExistingFileAction action,
                               const TFileExists& exists) {
  const std::string name =
      JoinPath(outputFolder, ChangeFileExt(ExtractFileName(inputFileName), ExtractFileExt(dialogOutputName)));
  return AvoidExisting(name, action, exists);
}

std::string RebuiltOutputName(std::string_view outputFolder, std::string_view storedOutputName,
                              TExistingFileAction action, const TFileExists& exists) {
  // Only the file-name part is looked at: a folder whose name happens to
  // hold "(New_" must not cut the path short.
  const std::string fileName = ExtractFileName(storedOutputName);
  const size_t marker = fileName.find("(New_");
  if (marker == std::string::npos) return JoinPath(outputFolder, fileName);
  const std::string ext = ExtractFileExt(fileName);
  const std::string stem = JoinPath(outputFolder, fileName.substr(0, marker));
  const std::string name = stem + ext;
  if (action == efNewName && exists(name)) return NumberedName(stem, ext, exists);
  return name;
}

}  // namespace profiles
