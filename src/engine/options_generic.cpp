// Options of the libraries' own tables: the generic codec, format and scaler
// options (kept in the option context and copied into real contexts later)
// and the private options of encoders and muxers (kept as dictionaries and
// handed over when the codec or muxer opens).
#include <algorithm>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

namespace {

// Option-class filters of the codec contexts, by media type.
constexpr int kTypeFlags[kMediaTypeCount] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                             AV_OPT_FLAG_SUBTITLE_PARAM, 0};

bool HasPrivateOption(const AVClass* const* cls, const char* name) {
  return *cls && lib::av_opt_find2((void*)cls, name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ, nullptr);
}

}  // namespace

// Looks the name up in the private tables of every encoder and muxer. A
// value is kept for each media type whose encoders know the option and take
// the value, and for muxers when one of them does.
bool TCustomFFmpeg::SetPrivateOption(const std::string& name, const std::string& value, bool& found) {
  bool exists[kMediaTypeCount] = {}, valid[kMediaTypeCount] = {};
  // Encoders whose option takes text accept any value and are asked first,
  // so that a value meant for one encoder is not tried (and complained
  // about) by others that read the same name as a number.
  for (int pass = 0; pass < 2; ++pass) {
    void* it = nullptr;
    while (const AVCodec* codec = lib::av_codec_iterate(&it)) {
      int t = codec->type;
      if (t < 0 || t >= kMediaTypeCount || valid[t] || !codec->priv_class || !lib::av_codec_is_encoder(codec))
        continue;
      const AVOption* o = lib::av_opt_find2((void*)&codec->priv_class, name.c_str(), nullptr, 0,
                                            AV_OPT_SEARCH_FAKE_OBJ, nullptr);
      if (!o || (o->type == AV_OPT_TYPE_STRING) != (pass == 0)) continue;
      exists[t] = true;
      AVCodecContext* probe = lib::avcodec_alloc_context3(codec);
      if (probe && probe->priv_data && lib::av_opt_set(probe->priv_data, name.c_str(), value.c_str(), 0) >= 0)
        valid[t] = true;
      lib::avcodec_free_context(&probe);
    }
  }
  void* it = nullptr;
  bool muxerExists = false, muxerValid = false;
  while (const AVOutputFormat* fmt = lib::av_muxer_iterate(&it)) {
    if (!fmt->priv_class || !HasPrivateOption(&fmt->priv_class, name.c_str())) continue;
    muxerExists = true;
    AVFormatContext* probe = nullptr;
    if (lib::avformat_alloc_output_context2(&probe, fmt, nullptr, nullptr) >= 0 && probe) {
      if (probe->priv_data && lib::av_opt_set(probe->priv_data, name.c_str(), value.c_str(), 0) >= 0)
        muxerValid = true;
      lib::avformat_free_context(probe);
    }
    if (muxerValid) break;
  }
  bool any = false;
  for (int t = 0; t < kMediaTypeCount; ++t) {
    found = found || exists[t];
    if (valid[t]) {
      lib::av_dict_set(&optionContext_->EncoderPrivate[t], name.c_str(), value.c_str(), 0);
      any = true;
    }
  }
  found = found || muxerExists;
  if (muxerValid) {
    lib::av_dict_set(&optionContext_->MuxerPrivate, name.c_str(), value.c_str(), 0);
    any = true;
  }
  return any;
}

bool TCustomFFmpeg::SetGenericOption(const std::string& name, const std::string& value) {
  if (engine::Trim(name).empty() || engine::Trim(value).empty() || !optionContext_) return false;
  TOptionContext& oc = *optionContext_;
  const char* n = name.c_str();
  const char* v = value.c_str();
  const AVOption* found = nullptr;
  int ret = 0;
  for (int t = 0; t < kMediaTypeCount && ret >= 0; ++t) {
    int flag = kTypeFlags[t];
    const AVOption* o = lib::av_opt_find2(oc.Codec[AVMEDIA_TYPE_VIDEO], n, nullptr, flag, 0, nullptr);
    if (!o) continue;
    found = o;
    ret = lib::av_opt_set(oc.Codec[t], n, v, 0);
    if (ret >= 0) oc.SetOn.emplace_back(oc.Codec[t], o->name);
  }
  if (!found) {
    found = lib::av_opt_find2(oc.Format, n, nullptr, 0, 0, nullptr);
    if (found && (ret = lib::av_opt_set(oc.Format, n, v, 0)) >= 0) oc.SetOn.emplace_back(oc.Format, found->name);
  }
  if (!found && oc.Scaler) {
    found = lib::av_opt_find2(oc.Scaler, n, nullptr, 0, 0, nullptr);
    if (found && (ret = lib::av_opt_set(oc.Scaler, n, v, 0)) >= 0) oc.SetOn.emplace_back(oc.Scaler, found->name);
  }
  if (!found && (name[0] == 'a' || name[0] == 'v' || name[0] == 's') && name.size() > 1) {
    int t = name[0] == 'a' ? AVMEDIA_TYPE_AUDIO : name[0] == 'v' ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_SUBTITLE;
    found = lib::av_opt_find2(oc.Codec[t], n + 1, nullptr, 0, 0, nullptr);
    if (found && (ret = lib::av_opt_set(oc.Codec[t], n + 1, v, 0)) >= 0)
      oc.SetOn.emplace_back(oc.Codec[t], found->name);
  }
  if (!found) {
    bool exists = false;
    if (SetPrivateOption(name, value, exists)) return true;
    if (exists) ret = AVERROR(EINVAL);
    else return false;
  }
  if (ret < 0) {
    lib::av_log(nullptr, AV_LOG_ERROR, "Invalid value \"%s\" for option \"%s\"\n", v, n);
    return false;
  }
  if (found) oc.RecordedOptionNames.push_back(found->name);
  if (oc.Codec[AVMEDIA_TYPE_VIDEO]->debug || oc.Format->debug) DefaultLogger().SetLogLevel(llDebug);
  return true;
}

void TCustomFFmpeg::CopyRecordedOptions(void* target, void* source, int flags) {
  if (!optionContext_ || !target || !source) return;
  const auto& setOn = optionContext_->SetOn;
  for (const std::string& name : optionContext_->RecordedOptionNames) {
    if (std::find(setOn.begin(), setOn.end(), std::make_pair((const void*)source, name)) == setOn.end()) continue;
    const AVOption* o = lib::av_opt_find2(source, name.c_str(), nullptr, 0, 0, nullptr);
    if (!o || (o->flags & flags) != flags) continue;
    uint8_t* text = nullptr;
    if (lib::av_opt_get(source, name.c_str(), 0, &text) >= 0 && text)
      lib::av_opt_set(target, name.c_str(), (const char*)text, 0);
    lib::av_free(text);
  }
}
