// Conversion speed of the engine against a minimal decode -> encode loop
// written directly on the media libraries with the same encoder settings.
// Each benchmark alternates the two on the same input (a generated 1280x720,
// 25 fps, 20 s clip with stereo sound) and reports both times (the fastest
// round of each), wall-clock and process CPU time, and the engine's
// overhead in per cent.
//
//   quvexa_bench --benchmark_filter=Convert
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/builtin_presets.h"
#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "media/library_tables.h"
#include "support/media_libraries.h"
#include "support/temp_dir.h"
#include "support/test_media.h"

namespace {

constexpr int kVideoBitRate = 2000000;
constexpr int kAudioBitRate = 128000;
constexpr int kGopSize = 12;

struct Target {
  const char* file;
  const char* video;
  const char* audio;
  const char* preset;  // built-in video preset, "" = none
};

const Target kAvi{"bench_out.avi", "mpeg4", "libmp3lame", ""};
const Target kMp4{"bench_out.mp4", "libx264", "aac", "libx264-default"};

const std::string& Input() {
  static const std::string path = [] {
    testsupport::MediaSpec spec;
    spec.container = "avi";
    spec.videoCodec = "mpeg4";
    spec.audioCodecs = {"libmp3lame"};
    spec.width = 1280;
    spec.height = 720;
    spec.frameRate = {25, 1};
    spec.sampleRate = 44100;
    spec.channels = 2;
    spec.seconds = 20;
    spec.videoBitRate = 4000000;
    const std::string file = testsupport::TempPath("bench_720p_20s.avi");
    std::string error;
    if (!testsupport::WriteMedia(file, spec, &error)) throw std::runtime_error("input: " + error);
    return file;
  }();
  return path;
}

// ---- the engine --------------------------------------------------------------

void EngineConvert(const Target& t, const std::string& output) {
  TCustomFFmpeg task;
  task.ResetTask();
  task.Verbose = -1;
  if (!task.OpenInputFile(engine::Utf8ToWide(Input()))) throw std::runtime_error(task.LastOpenError());
  TOutputOptions o;
  o.VideoCodec = t.video;
  o.AudioCodec = t.audio;
  o.VideoBitrate = kVideoBitRate;
  o.AudioBitrate = kAudioBitRate;
  o.GopSize = kGopSize;
  if (*t.preset) o.VideoPreset = t.preset;
  task.ApplyOutputOptions(o);
  if (task.OpenOutputFile(engine::Utf8ToWide(output), false) < 0) throw std::runtime_error(task.LastOpenError());
  task.StartConvert(false, tpNormal);
  if (task.Exception()) throw std::runtime_error(task.ExceptionMsg());
}

// ---- the minimal loop ------------------------------------------------------------

void Check(int ret, const char* what) {
  if (ret < 0) throw std::runtime_error(std::string(what) + ": " + engine::LibraryErrorText(ret));
}

struct Lane {
  AVCodecContext* dec = nullptr;
  AVCodecContext* enc = nullptr;
  AVStream* out = nullptr;
  int inIndex = -1;
  int64_t next = 0;  // pts of the next frame, encoder time base
  AVAudioFifo* fifo = nullptr;
};

void Drain(AVFormatContext* oc, Lane& l, AVPacket* pkt) {
  while (lib::avcodec_receive_packet(l.enc, pkt) >= 0) {
    lib::av_packet_rescale_ts(pkt, l.enc->time_base, l.out->time_base);
    pkt->stream_index = l.out->index;
    Check(lib::av_interleaved_write_frame(oc, pkt), "write");
  }
}

void EncodeAudio(AVFormatContext* oc, Lane& a, AVPacket* pkt, bool last) {
  const int size = a.enc->frame_size > 0 ? a.enc->frame_size : 4096;
  while (lib::av_audio_fifo_size(a.fifo) >= size || (last && lib::av_audio_fifo_size(a.fifo) > 0)) {
    const int n = std::min(size, lib::av_audio_fifo_size(a.fifo));
    AVFrame* f = lib::av_frame_alloc();
    f->nb_samples = n;
    f->format = a.enc->sample_fmt;
    f->sample_rate = a.enc->sample_rate;
    lib::av_channel_layout_copy(&f->ch_layout, &a.enc->ch_layout);
    Check(lib::av_frame_get_buffer(f, 0), "audio buffer");
    lib::av_audio_fifo_read(a.fifo, reinterpret_cast<void**>(f->extended_data), n);
    f->pts = a.next;
    a.next += n;
    Check(lib::avcodec_send_frame(a.enc, f), "encode audio");
    lib::av_frame_free(&f);
    Drain(oc, a, pkt);
  }
}

void MinimalConvert(const Target& t, const std::string& output) {
  AVFormatContext* ic = nullptr;
  Check(lib::avformat_open_input(&ic, Input().c_str(), nullptr, nullptr), "open input");
  Check(lib::avformat_find_stream_info(ic, nullptr), "stream info");
  AVFormatContext* oc = nullptr;
  Check(lib::avformat_alloc_output_context2(&oc, nullptr, nullptr, output.c_str()), "output");
  Lane v, a;
  v.inIndex = lib::av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  a.inIndex = lib::av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  for (Lane* l : {&v, &a}) {
    AVStream* st = ic->streams[l->inIndex];
    const AVCodec* dc = lib::avcodec_find_decoder(st->codecpar->codec_id);
    l->dec = lib::avcodec_alloc_context3(dc);
    lib::avcodec_parameters_to_context(l->dec, st->codecpar);
    l->dec->thread_count = 0;
    l->dec->pkt_timebase = st->time_base;
    Check(lib::avcodec_open2(l->dec, dc, nullptr), "open decoder");
  }
  // Encoders with the settings the engine gives them.
  const AVCodec* vc = lib::avcodec_find_encoder_by_name(t.video);
  v.enc = lib::avcodec_alloc_context3(vc);
  v.enc->width = v.dec->width;
  v.enc->height = v.dec->height;
  v.enc->pix_fmt = AV_PIX_FMT_YUV420P;
  v.enc->time_base = AVRational{1, 25};
  v.enc->framerate = AVRational{25, 1};
  v.enc->sample_aspect_ratio = v.dec->sample_aspect_ratio;
  v.enc->bit_rate = kVideoBitRate;
  v.enc->thread_count = 0;
  if (*t.preset) {
    const engine::TBuiltinPreset* preset = engine::FindBuiltinPreset(t.preset);
    if (!preset) throw std::runtime_error("no preset");
    size_t start = 0;
    while (start < preset->Text.size()) {
      size_t end = preset->Text.find('\n', start);
      if (end == std::string::npos) end = preset->Text.size();
      const std::string line = engine::Trim(preset->Text.substr(start, end - start));
      start = end + 1;
      const size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      lib::av_opt_set(v.enc, line.substr(0, eq).c_str(), line.substr(eq + 1).c_str(), AV_OPT_SEARCH_CHILDREN);
    }
  }
  v.enc->gop_size = kGopSize;  // the engine applies the record's GOP after the preset
  const AVCodec* ac = lib::avcodec_find_encoder_by_name(t.audio);
  a.enc = lib::avcodec_alloc_context3(ac);
  a.enc->sample_rate = a.dec->sample_rate;
  lib::av_channel_layout_copy(&a.enc->ch_layout, &a.dec->ch_layout);
  a.enc->sample_fmt = ac->sample_fmts[0];
  for (const AVSampleFormat* f = ac->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
    if (*f == a.dec->sample_fmt) a.enc->sample_fmt = *f;
  a.enc->time_base = AVRational{1, a.enc->sample_rate};
  a.enc->bit_rate = kAudioBitRate;
  a.enc->thread_count = 0;
  for (Lane* l : {&v, &a}) {
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) l->enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(lib::avcodec_open2(l->enc, l->enc->codec, nullptr), "open encoder");
    l->out = lib::avformat_new_stream(oc, nullptr);
    lib::avcodec_parameters_from_context(l->out->codecpar, l->enc);
    l->out->time_base = l->enc->time_base;
  }
  if (a.dec->sample_fmt != a.enc->sample_fmt) throw std::runtime_error("sample format conversion not built");
  a.fifo = lib::av_audio_fifo_alloc(a.enc->sample_fmt, a.enc->ch_layout.nb_channels, 4096);
  Check(lib::avio_open(&oc->pb, output.c_str(), AVIO_FLAG_WRITE), "open file");
  Check(lib::avformat_write_header(oc, nullptr), "header");

  AVPacket* pkt = lib::av_packet_alloc();
  AVPacket* out = lib::av_packet_alloc();
  AVFrame* frame = lib::av_frame_alloc();
  auto decoded = [&](Lane& l) {
    while (lib::avcodec_receive_frame(l.dec, frame) >= 0) {
      if (&l == &v) {
        frame->pts = v.next++;
        frame->pict_type = AV_PICTURE_TYPE_NONE;
        Check(lib::avcodec_send_frame(v.enc, frame), "encode video");
        Drain(oc, v, out);
      } else {
        lib::av_audio_fifo_write(a.fifo, reinterpret_cast<void**>(frame->extended_data), frame->nb_samples);
        EncodeAudio(oc, a, out, false);
      }
      lib::av_frame_unref(frame);
    }
  };
  while (lib::av_read_frame(ic, pkt) >= 0) {
    Lane* l = pkt->stream_index == v.inIndex ? &v : pkt->stream_index == a.inIndex ? &a : nullptr;
    if (l && lib::avcodec_send_packet(l->dec, pkt) >= 0) decoded(*l);
    lib::av_packet_unref(pkt);
  }
  for (Lane* l : {&v, &a}) {
    lib::avcodec_send_packet(l->dec, nullptr);
    decoded(*l);
  }
  EncodeAudio(oc, a, out, true);
  for (Lane* l : {&v, &a}) {
    lib::avcodec_send_frame(l->enc, nullptr);
    Drain(oc, *l, out);
  }
  lib::av_write_trailer(oc);
  lib::av_frame_free(&frame);
  lib::av_packet_free(&pkt);
  lib::av_packet_free(&out);
  lib::av_audio_fifo_free(a.fifo);
  for (Lane* l : {&v, &a}) {
    lib::avcodec_free_context(&l->dec);
    lib::avcodec_free_context(&l->enc);
  }
  lib::avio_closep(&oc->pb);
  lib::avformat_free_context(oc);
  lib::avformat_close_input(&ic);
}

double VideoMegabytes(const std::string& path) {
  const testsupport::MediaSummary s = testsupport::ReadMedia(path);
  const testsupport::StreamSummary* v = s.first(AVMEDIA_TYPE_VIDEO);
  return v ? double(v->bytes) / 1e6 : 0;
}

// The settings text libx264 writes into its stream ("cabac=1 ref=3 ..."),
// split into words; empty for other encoders.
std::vector<std::string> EncoderSettings(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const size_t at = bytes.find(" - options: ");
  std::vector<std::string> words;
  if (at == std::string::npos) return words;
  const size_t end = bytes.find('\0', at);
  std::istringstream text(bytes.substr(at + 12, end == std::string::npos ? 0 : end - at - 12));
  for (std::string w; text >> w;) words.push_back(w);
  return words;
}

// The settings in which the two outputs differ, "" when none.
std::string SettingsDifference(const std::string& engineOut, const std::string& minimalOut) {
  const std::vector<std::string> e = EncoderSettings(engineOut), m = EncoderSettings(minimalOut);
  std::string text;
  for (const std::string& w : e)
    if (std::find(m.begin(), m.end(), w) == m.end()) text += " engine:" + w;
  for (const std::string& w : m)
    if (std::find(e.begin(), e.end(), w) == e.end()) text += " minimal:" + w;
  return text;
}

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Times {
  double wall = 0;
  double cpu = 0;  // all threads of the process: less disturbed by other load
};

Times Timed(void (*convert)(const Target&, const std::string&), const Target& t, const std::string& out) {
  const double cpu = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  convert(t, out);
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), CpuSeconds() - cpu};
}

void BM_Convert(benchmark::State& state, const Target& t) {
  testsupport::LoadConverterLibraries();
  try {
    Input();
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  const std::string engineOut = testsupport::TempPath(std::string("engine_") + t.file);
  const std::string minimalOut = testsupport::TempPath(std::string("minimal_") + t.file);
  double engineBest = 1e100, minimalBest = 1e100, engineSum = 0, minimalSum = 0;
  double engineCpu = 1e100, minimalCpu = 1e100;
  for (auto _ : state) {
    try {
      // Alternate so that both see the same machine load.
      const Times m = Timed(MinimalConvert, t, minimalOut);
      const Times e = Timed(EngineConvert, t, engineOut);
      state.SetIterationTime(e.wall);
      minimalBest = std::min(minimalBest, m.wall);
      engineBest = std::min(engineBest, e.wall);
      minimalCpu = std::min(minimalCpu, m.cpu);
      engineCpu = std::min(engineCpu, e.cpu);
      minimalSum += m.wall;
      engineSum += e.wall;
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      return;
    }
  }
  state.counters["engine_s"] = engineBest;
  state.counters["minimal_s"] = minimalBest;
  state.counters["overhead_pct"] = 100.0 * (engineBest - minimalBest) / minimalBest;
  state.counters["engine_cpu_s"] = engineCpu;
  state.counters["minimal_cpu_s"] = minimalCpu;
  state.counters["cpu_overhead_pct"] = 100.0 * (engineCpu - minimalCpu) / minimalCpu;
  state.counters["mean_overhead_pct"] = 100.0 * (engineSum - minimalSum) / minimalSum;
  // Similar sizes show that both encoded with the same settings.
  state.counters["engine_video_MB"] = VideoMegabytes(engineOut);
  state.counters["minimal_video_MB"] = VideoMegabytes(minimalOut);
  const std::string difference = SettingsDifference(engineOut, minimalOut);
  if (!difference.empty()) state.SetLabel("encoder settings differ:" + difference);
}

BENCHMARK_CAPTURE(BM_Convert, AviMpeg4Mp3, kAvi)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_Convert, Mp4H264Aac, kMp4)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace
