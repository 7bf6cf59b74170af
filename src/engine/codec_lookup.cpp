#include "engine/codec_lookup.h"

#include "engine/engine_util.h"
#include "media/library_tables.h"

namespace engine {

bool LookupCodec(const std::optional<std::string>& name, AVMediaType type, bool encoder, int strict,
                 AVCodecID& id, std::string& error) {
  id = AV_CODEC_ID_NONE;
  if (!name) return true;
  const char* kind = encoder ? "encoder" : "decoder";
  const AVCodec* codec = encoder ? lib::avcodec_find_encoder_by_name(name->c_str())
                                 : lib::avcodec_find_decoder_by_name(name->c_str());
  if (!codec) {
    error = Format("Unknown %s '%s'", kind, name->c_str());
    return false;
  }
  if (codec->type != type) {
    error = Format("Invalid %s type '%s'", kind, name->c_str());
    return false;
  }
  if ((codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) && strict > FF_COMPLIANCE_EXPERIMENTAL) {
    error = Format("%s '%s' is experimental and might produce bad results.\r\n"
                   "Add '-strict experimental' if you want to use it.",
                   kind, codec->name);
    const AVCodec* other =
        encoder ? lib::avcodec_find_encoder(codec->id) : lib::avcodec_find_decoder(codec->id);
    if (other && !(other->capabilities & AV_CODEC_CAP_EXPERIMENTAL))
      error += Format("\r\nOr use the non experimental %s '%s'.", kind, other->name);
    return false;
  }
  id = codec->id;
  return true;
}

}  // namespace engine
