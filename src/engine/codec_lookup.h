// Finding a codec by name for a stream of a given kind.
#pragma once

#include <optional>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace engine {

// An absent name gives AV_CODEC_ID_NONE and success. Otherwise the encoder
// or decoder of that name must exist, be of `type`, and not be experimental
// unless `strict` allows it; on failure `error` receives the reason.
bool LookupCodec(const std::optional<std::string>& name, AVMediaType type, bool encoder, int strict,
                 AVCodecID& id, std::string& error);

}  // namespace engine
