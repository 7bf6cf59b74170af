// The codec names that resolution produces must name encoders of the bound
// libraries, or the engine refuses the job with "Unknown encoder".
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "media/library_tables.h"
#include "profile_test_helpers.h"
#include "profiles/output_catalogue.h"
#include "support/media_libraries.h"

using namespace profiles;

namespace {

// Every video and audio codec name that some offered caption resolves to.
std::set<std::string> ResolvedEncoderNames() {
  std::set<std::string> names;
  for (const TOutputType& type : OutputTypes()) {
    for (TOptionListIndex list : {olVideoCodec, olAudioCodec}) {
      const auto items = FillOptionLists(type.Code).Lists[list].Items;
      for (const std::string& caption : items) {
        auto prepared = profiletest::Prepare(type.Code);
        if (!profiletest::Pick(prepared, list, caption)) continue;
        if (ResolveOptions(prepared.Dialog, "/e/out", prepared.Choice).Status != rsOk) continue;
        for (const std::string& name :
             {prepared.Choice.Pending.VideoCodec, prepared.Choice.Pending.AudioCodec})
          if (!name.empty() && name != "AUTO") names.insert(name);
      }
    }
  }
  return names;
}

}  // namespace

TEST(EncoderNames, ResolvedCodecsExistInTheBoundLibraries) {
  testsupport::LoadConverterLibraries();
  const std::set<std::string> names = ResolvedEncoderNames();
  EXPECT_TRUE(names.count("aac"));
  EXPECT_FALSE(names.count("libfaac"));
  for (const std::string& name : names) {
    // The AMR type keeps its encoder name; builds without it refuse the job.
    if (name == "libopencore_amrnb") continue;
    EXPECT_NE(lib::avcodec_find_encoder_by_name(name.c_str()), nullptr) << name;
  }
}
