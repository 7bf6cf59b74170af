// Output file names of new jobs and of jobs recreated at batch start. Pure
// functions over names: whether a file exists is asked through a predicate,
// so callers (and tests) decide what "exists" means.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace profiles {

using TFileExists = std::function<bool(const std::string& path)>;

// The main window's choice "如果输出文件存在：".
enum TExistingFileAction {
  efNewName = 0,   // "自动生成相应的新文件名": number the name with "(New_" N ")"
  efOverwrite = 1  // "直接覆盖该文件"
};

// The output folder before the user chose one: ~/Video_Directory.
std::string DefaultOutputFolder();

// True when a file (or anything else) of that name is on disk.
bool PathExistsOnDisk(const std::string& path);

// stem + "(New_" N ")" + ext for the smallest N >= 1 that does not exist.
std::string NumberedName(std::string_view stem, std::string_view ext, const TFileExists& exists);

// A name that exists is numbered when the action is efNewName, else kept.
std::string AvoidExisting(const std::string& name, TExistingFileAction action, const TFileExists& exists);

// Output name of a job added alone: the name the options dialog left,
// numbered when it exists and the action asks for new names.
std::string SingleJobOutputName(const std::string& dialogOutputName, TExistingFileAction action,
                                const TFileExists& exists);

// Output name of one file of an add of several files: the output folder +
// "/" + the input's name without its extension + the extension of the name
// the options dialog left; numbered like a single job.
std::string ManyJobsOutputName(std::string_view outputFolder, std::string_view inputFileName,
                               const std::string& dialogOutputName, TExistingFileAction action,
                               const TFileExists& exists);

// Output name of a stored job recreated at batch start: its file name moved
// into the (possibly changed) output folder. A name carrying a "(New_"
// number is recomputed there from its stem; any other name is kept as it is,
// even when a file of that name exists now.
std::string RebuiltOutputName(std::string_view outputFolder, std::string_view storedOutputName,
                              TExistingFileAction action, const TFileExists& exists);

}  // namespace profiles
