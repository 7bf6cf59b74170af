// Shared steps of the profile tests: what the options dialog does between
// showing and confirming, without the dialog.
#pragma once

#include <string>

#include "profiles/job_choice.h"
#include "profiles/option_lists.h"
#include "profiles/option_resolution.h"

namespace profiletest {

// A job choice freshly reset and prepared for `code`, plus the dialog state
// with the default captions of that type.
struct TPrepared {
  int Code = 0;
  profiles::TFilledOptions Filled;
  profiles::TJobChoice Choice;
  profiles::TDialogChoices Dialog;
};

inline TPrepared Prepare(int code, const std::string& source = "/d/v/a.avi",
                         const std::string& folder = "/e/out") {
  TPrepared prepared;
  prepared.Code = code;
  profiles::ResetPendingOptions(prepared.Choice);
  prepared.Filled = profiles::FillOptionLists(code);
  profiles::ApplyFilledOptions(prepared.Choice, prepared.Filled, folder, source);
  prepared.Dialog.Captions = profiles::CurrentCaptions(prepared.Filled.Lists);
  prepared.Dialog.AudioOnlyMode = prepared.Filled.AudioOnly;
  prepared.Dialog.DiscTarget = prepared.Filled.DiscTarget;
  prepared.Dialog.ProbedDuration = "120";
  return prepared;
}

// Selects the item with that caption in one list; false when it is not offered.
inline bool Pick(TPrepared& prepared, profiles::TOptionListIndex list, const std::string& caption) {
  profiles::TOptionList& items = prepared.Filled.Lists[list];
  for (size_t i = 0; i < items.Items.size(); ++i) {
    if (items.Items[i] != caption) continue;
    // A codec pick goes through the codec-change rules like the user's choice.
    if (list == profiles::olVideoCodec)
      profiles::ChangeVideoCodec(prepared.Code, prepared.Filled.Lists, static_cast<int>(i));
    items.Selected = static_cast<int>(i);
    prepared.Dialog.Captions = profiles::CurrentCaptions(prepared.Filled.Lists);
    return true;
  }
  return false;
}

}  // namespace profiletest
