#include "profiles/job_choice.h"

#include "profiles/file_names.h"

namespace profiles {

void ResetPendingOptions(TJobChoice& choice) {
  ResetPendingOptions(choice.Pending);
  choice.OutputFileName.clear();
  choice.OutputExt.clear();
}

std::string OutputNameForType(std::string_view outputFolder, std::string_view sourceFileName,
                              std::string_view fileExtension) {
  return JoinPath(outputFolder, ChangeFileExt(ExtractFileName(sourceFileName), fileExtension));
}

void ApplyFilledOptions(TJobChoice& choice, const TFilledOptions& filled, std::string_view outputFolder,
                        std::string_view sourceFileName) {
  // Clearing the lists drops the filters and the tag; re-enabling the video
  // controls drops the container override and the disc norm.
  choice.Pending.VideoFilters.clear();
  choice.Pending.VideoTag.clear();
  choice.Pending.FileFormat.clear();
  choice.Pending.TargetNorm.clear();
  if (!filled.HasType) return;
  choice.OutputFileName = OutputNameForType(outputFolder, sourceFileName, filled.FileExtension);
  choice.OutputExt = filled.TypeTag;
  if (!filled.FileFormat.empty()) choice.Pending.FileFormat = filled.FileFormat;
}

}  // namespace profiles
