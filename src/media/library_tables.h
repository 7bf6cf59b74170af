// Entry-point tables of the run-time bound libraries.
//
// Nothing in Quvexa links the media libraries, the C run-time table or SDL.
// Each library has a list of the functions we call; the loader fills one
// function pointer per name with dlsym() and clears them when it releases the
// library. Code calls through the pointers under the libraries' own names:
//
//     lib::avcodec_open2(ctx, codec, &opts);
//
// Ask TFFmpegLoader::LibrariesLoaded() (or test the single pointer) before
// calling. The lists below are in binding order; every entry is required.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/cpu.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/fifo.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libavutil/tx.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
#include <SDL2/SDL.h>
}

// ---- codec library (libavcodec) -------------------------------------------
#define QX_AVCODEC_ENTRIES(X)                                                  \
  X(avcodec_version)                                                           \
  X(avcodec_alloc_context3)                                                    \
  X(avcodec_free_context)                                                      \
  X(avcodec_open2)                                                             \
  X(avcodec_close)                                                             \
  X(avcodec_get_class)                                                         \
  X(avcodec_parameters_alloc)                                                  \
  X(avcodec_parameters_free)                                                   \
  X(avcodec_parameters_copy)                                                   \
  X(avcodec_parameters_from_context)                                           \
  X(avcodec_parameters_to_context)                                             \
  X(avcodec_send_packet)                                                       \
  X(avcodec_receive_frame)                                                     \
  X(avcodec_send_frame)                                                        \
  X(avcodec_receive_packet)                                                    \
  X(avcodec_flush_buffers)                                                     \
  X(avcodec_decode_subtitle2)                                                  \
  X(avcodec_encode_subtitle)                                                   \
  X(avsubtitle_free)                                                           \
  X(avcodec_find_decoder)                                                      \
  X(avcodec_find_decoder_by_name)                                              \
  X(avcodec_find_encoder)                                                      \
  X(avcodec_find_encoder_by_name)                                              \
  X(avcodec_find_best_pix_fmt_of_list)                                         \
  X(avcodec_get_name)                                                          \
  X(avcodec_descriptor_get)                                                    \
  X(avcodec_descriptor_get_by_name)                                            \
  X(avcodec_string)                                                            \
  X(avcodec_align_dimensions2)                                                 \
  X(avcodec_profile_name)                                                      \
  X(av_get_profile_name)                                                       \
  X(av_codec_iterate)                                                          \
  X(av_codec_is_encoder)                                                       \
  X(av_codec_is_decoder)                                                       \
  X(av_get_bits_per_sample)                                                    \
  X(av_get_exact_bits_per_sample)                                              \
  X(av_get_audio_frame_duration2)                                              \
  X(av_packet_alloc)                                                           \
  X(av_packet_free)                                                            \
  X(av_packet_ref)                                                             \
  X(av_packet_unref)                                                           \
  X(av_packet_clone)                                                           \
  X(av_packet_move_ref)                                                        \
  X(av_packet_make_writable)                                                   \
  X(av_packet_rescale_ts)                                                      \
  X(av_packet_get_side_data)                                                   \
  X(av_new_packet)                                                             \
  X(av_shrink_packet)                                                          \
  X(av_parser_init)                                                            \
  X(av_parser_parse2)                                                          \
  X(av_parser_close)                                                           \
  X(av_bsf_get_by_name)                                                        \
  X(av_bsf_alloc)                                                              \
  X(av_bsf_init)                                                               \
  X(av_bsf_send_packet)                                                        \
  X(av_bsf_receive_packet)                                                     \
  X(av_bsf_flush)                                                              \
  X(av_bsf_free)                                                               \
  X(av_bsf_get_class)

// ---- device library (libavdevice): bound by no client ----------------------
#define QX_AVDEVICE_ENTRIES(X)                                                 \
  X(avdevice_version)                                                          \
  X(avdevice_register_all)

// ---- filter library (libavfilter) ------------------------------------------
#define QX_AVFILTER_ENTRIES(X)                                                 \
  X(avfilter_version)                                                          \
  X(avfilter_get_by_name)                                                      \
  X(av_filter_iterate)                                                         \
  X(avfilter_get_class)                                                        \
  X(avfilter_graph_alloc)                                                      \
  X(avfilter_graph_free)                                                       \
  X(avfilter_graph_create_filter)                                              \
  X(avfilter_graph_alloc_filter)                                               \
  X(avfilter_init_str)                                                         \
  X(avfilter_init_dict)                                                        \
  X(avfilter_graph_parse_ptr)                                                  \
  X(avfilter_graph_config)                                                     \
  X(avfilter_graph_send_command)                                               \
  X(avfilter_inout_alloc)                                                      \
  X(avfilter_inout_free)                                                       \
  X(avfilter_link)                                                             \
  X(av_buffersrc_parameters_alloc)                                             \
  X(av_buffersrc_parameters_set)                                               \
  X(av_buffersrc_add_frame)                                                    \
  X(av_buffersrc_add_frame_flags)                                              \
  X(av_buffersrc_write_frame)                                                  \
  X(av_buffersrc_close)                                                        \
  X(av_buffersink_get_frame)                                                   \
  X(av_buffersink_get_frame_flags)                                             \
  X(av_buffersink_get_samples)                                                 \
  X(av_buffersink_set_frame_size)                                              \
  X(av_buffersink_get_type)                                                    \
  X(av_buffersink_get_time_base)                                               \
  X(av_buffersink_get_format)                                                  \
  X(av_buffersink_get_frame_rate)                                              \
  X(av_buffersink_get_w)                                                       \
  X(av_buffersink_get_h)                                                       \
  X(av_buffersink_get_sample_aspect_ratio)                                     \
  X(av_buffersink_get_sample_rate)                                             \
  X(av_buffersink_get_ch_layout)

// ---- format library (libavformat) ------------------------------------------
#define QX_AVFORMAT_ENTRIES(X)                                                 \
  X(avformat_version)                                                          \
  X(avformat_network_init)                                                     \
  X(avformat_network_deinit)                                                   \
  X(avformat_get_class)                                                        \
  X(avformat_alloc_context)                                                    \
  X(avformat_free_context)                                                     \
  X(avformat_open_input)                                                       \
  X(avformat_close_input)                                                      \
  X(avformat_find_stream_info)                                                 \
  X(av_find_best_stream)                                                       \
  X(av_find_program_from_stream)                                               \
  X(avformat_alloc_output_context2)                                            \
  X(avformat_new_stream)                                                       \
  X(av_new_program)                                                            \
  X(avformat_init_output)                                                      \
  X(avformat_write_header)                                                     \
  X(avformat_query_codec)                                                      \
  X(avformat_match_stream_specifier)                                           \
  X(av_write_frame)                                                            \
  X(av_interleaved_write_frame)                                                \
  X(av_write_trailer)                                                          \
  X(av_read_frame)                                                             \
  X(av_read_pause)                                                             \
  X(av_read_play)                                                              \
  X(av_seek_frame)                                                             \
  X(avformat_seek_file)                                                        \
  X(avformat_flush)                                                            \
  X(av_find_input_format)                                                      \
  X(av_probe_input_format)                                                     \
  X(av_guess_format)                                                           \
  X(av_guess_codec)                                                            \
  X(av_guess_frame_rate)                                                       \
  X(av_guess_sample_aspect_ratio)                                              \
  X(av_demuxer_iterate)                                                        \
  X(av_muxer_iterate)                                                          \
  X(av_codec_get_id)                                                           \
  X(av_codec_get_tag)                                                          \
  X(av_codec_get_tag2)                                                         \
  X(av_stream_get_side_data)                                                   \
  X(av_stream_new_side_data)                                                   \
  X(av_stream_add_side_data)                                                   \
  X(av_filename_number_test)                                                   \
  X(av_dump_format)                                                            \
  X(av_pkt_dump_log2)                                                          \
  X(av_sdp_create)                                                             \
  X(av_url_split)                                                              \
  X(avio_alloc_context)                                                        \
  X(avio_context_free)                                                         \
  X(avio_open)                                                                 \
  X(avio_open2)                                                                \
  X(avio_close)                                                                \
  X(avio_closep)                                                               \
  X(avio_size)                                                                 \
  X(avio_seek)                                                                 \
  X(avio_skip)                                                                 \
  X(avio_feof)                                                                 \
  X(avio_read)                                                                 \
  X(avio_write)                                                                \
  X(avio_w8)                                                                   \
  X(avio_flush)                                                                \
  X(avio_enum_protocols)                                                       \
  X(avio_find_protocol_name)

// ---- utility library (libavutil) -------------------------------------------
#define QX_AVUTIL_ENTRIES(X)                                                   \
  X(avutil_version)                                                            \
  X(av_log)                                                                    \
  X(av_vlog)                                                                   \
  X(av_log_default_callback)                                                   \
  X(av_log_set_callback)                                                       \
  X(av_log_set_level)                                                          \
  X(av_log_get_level)                                                          \
  X(av_log_set_flags)                                                          \
  X(av_default_item_name)                                                      \
  X(av_strerror)                                                               \
  X(av_malloc)                                                                 \
  X(av_mallocz)                                                                \
  X(av_realloc)                                                                \
  X(av_free)                                                                   \
  X(av_freep)                                                                  \
  X(av_strdup)                                                                 \
  X(av_fast_malloc)                                                            \
  X(av_fast_realloc)                                                           \
  X(av_strlcpy)                                                                \
  X(av_strlcat)                                                                \
  X(av_strstart)                                                               \
  X(av_stristart)                                                              \
  X(av_get_token)                                                              \
  X(av_gcd)                                                                    \
  X(av_reduce)                                                                 \
  X(av_rescale)                                                                \
  X(av_rescale_rnd)                                                            \
  X(av_rescale_q)                                                              \
  X(av_rescale_q_rnd)                                                          \
  X(av_compare_ts)                                                             \
  X(av_d2q)                                                                    \
  X(av_mul_q)                                                                  \
  X(av_div_q)                                                                  \
  X(av_add_q)                                                                  \
  X(av_sub_q)                                                                  \
  X(av_nearer_q)                                                               \
  X(av_find_nearest_q_idx)                                                     \
  X(av_get_time_base_q)                                                        \
  X(av_parse_time)                                                             \
  X(av_parse_video_size)                                                       \
  X(av_parse_video_rate)                                                       \
  X(av_parse_ratio)                                                            \
  X(av_gettime)                                                                \
  X(av_gettime_relative)                                                       \
  X(av_usleep)                                                                 \
  X(av_cpu_count)                                                              \
  X(av_dict_get)                                                               \
  X(av_dict_set)                                                               \
  X(av_dict_set_int)                                                           \
  X(av_dict_copy)                                                              \
  X(av_dict_count)                                                             \
  X(av_dict_free)                                                              \
  X(av_dict_parse_string)                                                      \
  X(av_opt_find)                                                               \
  X(av_opt_find2)                                                              \
  X(av_opt_next)                                                               \
  X(av_opt_set)                                                                \
  X(av_opt_set_int)                                                            \
  X(av_opt_set_double)                                                         \
  X(av_opt_set_q)                                                              \
  X(av_opt_set_bin)                                                            \
  X(av_opt_set_dict)                                                           \
  X(av_opt_set_dict2)                                                          \
  X(av_opt_get)                                                                \
  X(av_opt_get_int)                                                            \
  X(av_opt_get_double)                                                         \
  X(av_opt_set_defaults)                                                       \
  X(av_opt_free)                                                               \
  X(av_opt_child_class_iterate)                                                \
  X(av_opt_child_next)                                                         \
  X(av_int_list_length_for_size)                                               \
  X(av_frame_alloc)                                                            \
  X(av_frame_free)                                                             \
  X(av_frame_ref)                                                              \
  X(av_frame_unref)                                                            \
  X(av_frame_clone)                                                            \
  X(av_frame_move_ref)                                                         \
  X(av_frame_get_buffer)                                                       \
  X(av_frame_make_writable)                                                    \
  X(av_frame_copy)                                                             \
  X(av_frame_copy_props)                                                       \
  X(av_display_rotation_get)                                                   \
  X(av_display_rotation_set)                                                   \
  X(av_image_alloc)                                                            \
  X(av_image_fill_arrays)                                                      \
  X(av_image_fill_linesizes)                                                   \
  X(av_image_fill_pointers)                                                    \
  X(av_image_get_buffer_size)                                                  \
  X(av_image_copy)                                                             \
  X(av_image_copy_plane)                                                       \
  X(av_image_copy_to_buffer)                                                   \
  X(av_image_check_size)                                                       \
  X(av_pix_fmt_desc_get)                                                       \
  X(av_pix_fmt_desc_next)                                                      \
  X(av_get_pix_fmt)                                                            \
  X(av_get_pix_fmt_name)                                                       \
  X(av_get_pix_fmt_string)                                                     \
  X(av_pix_fmt_count_planes)                                                   \
  X(av_get_bits_per_pixel)                                                     \
  X(av_get_sample_fmt)                                                         \
  X(av_get_sample_fmt_name)                                                    \
  X(av_get_bytes_per_sample)                                                   \
  X(av_sample_fmt_is_planar)                                                   \
  X(av_get_packed_sample_fmt)                                                  \
  X(av_get_planar_sample_fmt)                                                  \
  X(av_samples_alloc)                                                          \
  X(av_samples_get_buffer_size)                                                \
  X(av_samples_fill_arrays)                                                    \
  X(av_samples_copy)                                                           \
  X(av_samples_set_silence)                                                    \
  X(av_audio_fifo_alloc)                                                       \
  X(av_audio_fifo_free)                                                        \
  X(av_audio_fifo_realloc)                                                     \
  X(av_audio_fifo_write)                                                       \
  X(av_audio_fifo_read)                                                        \
  X(av_audio_fifo_peek)                                                        \
  X(av_audio_fifo_drain)                                                       \
  X(av_audio_fifo_reset)                                                       \
  X(av_audio_fifo_size)                                                        \
  X(av_fifo_alloc2)                                                            \
  X(av_fifo_freep2)                                                            \
  X(av_fifo_write)                                                             \
  X(av_fifo_read)                                                              \
  X(av_fifo_peek)                                                              \
  X(av_fifo_drain2)                                                            \
  X(av_fifo_can_read)                                                          \
  X(av_fifo_can_write)                                                         \
  X(av_fifo_grow2)                                                             \
  X(av_fifo_reset2)                                                            \
  X(av_channel_layout_default)                                                 \
  X(av_channel_layout_from_mask)                                               \
  X(av_channel_layout_from_string)                                             \
  X(av_channel_layout_copy)                                                    \
  X(av_channel_layout_uninit)                                                  \
  X(av_channel_layout_compare)                                                 \
  X(av_channel_layout_describe)                                                \
  X(av_get_media_type_string)                                                  \
  X(av_get_picture_type_char)                                                  \
  X(av_tx_init)                                                                \
  X(av_tx_uninit)                                                              \
  X(av_get_sample_fmt_string)                                                   \
  X(av_frame_apply_cropping)

// ---- scaler library (libswscale) -------------------------------------------
#define QX_SWSCALE_ENTRIES(X)                                                  \
  X(swscale_version)                                                           \
  X(sws_get_class)                                                             \
  X(sws_getContext)                                                            \
  X(sws_getCachedContext)                                                      \
  X(sws_freeContext)                                                           \
  X(sws_scale)                                                                 \
  X(sws_isSupportedInput)                                                      \
  X(sws_isSupportedOutput)

// ---- resampling library (libswresample) ------------------------------------
#define QX_SWRESAMPLE_ENTRIES(X)                                               \
  X(swresample_version)                                                        \
  X(swr_get_class)                                                             \
  X(swr_alloc)                                                                 \
  X(swr_alloc_set_opts2)                                                       \
  X(swr_init)                                                                  \
  X(swr_is_initialized)                                                        \
  X(swr_close)                                                                 \
  X(swr_free)                                                                  \
  X(swr_convert)                                                               \
  X(swr_convert_frame)                                                         \
  X(swr_set_compensation)                                                      \
  X(swr_get_delay)                                                             \
  X(swr_get_out_samples)                                                       \
  X(swr_next_pts)                                                              \
  X(swr_inject_silence)                                                        \
  X(swr_drop_output)

// ---- C run-time library (libc.so.6) ----------------------------------------
// The libraries' own variable argument lists are formatted with this
// library's vsnprintf; file and number helpers use the rest.
#define QX_CRT_ENTRIES(X)                                                      \
  X(fclose)                                                                    \
  X(fopen)                                                                     \
  X(fprintf)                                                                   \
  X(fread)                                                                     \
  X(fseek)                                                                     \
  X(ftell)                                                                     \
  X(fwrite)                                                                    \
  X(snprintf)                                                                  \
  X(strtod)                                                                    \
  X(strtok_r)                                                                  \
  X(strtol)                                                                    \
  X(vsnprintf)

// ---- SDL 2 -------------------------------------------------------------------
#define QX_SDL_ENTRIES(X)                                                      \
  X(SDL_Init)                                                                  \
  X(SDL_InitSubSystem)                                                         \
  X(SDL_QuitSubSystem)                                                         \
  X(SDL_WasInit)                                                               \
  X(SDL_Quit)                                                                  \
  X(SDL_GetError)                                                              \
  X(SDL_TLSCleanup)                                                            \
  X(SDL_SetHint)                                                               \
  X(SDL_setenv)                                                                \
  X(SDL_GetTicks)                                                              \
  X(SDL_Delay)                                                                 \
  X(SDL_AddTimer)                                                              \
  X(SDL_RemoveTimer)                                                           \
  X(SDL_GetCurrentAudioDriver)                                                 \
  X(SDL_GetCurrentVideoDriver)                                                 \
  X(SDL_GetNumVideoDisplays)                                                   \
  X(SDL_OpenAudioDevice)                                                       \
  X(SDL_PauseAudioDevice)                                                      \
  X(SDL_LockAudioDevice)                                                       \
  X(SDL_UnlockAudioDevice)                                                     \
  X(SDL_CloseAudioDevice)                                                      \
  X(SDL_MixAudioFormat)                                                        \
  X(SDL_QueueAudio)                                                            \
  X(SDL_GetQueuedAudioSize)                                                    \
  X(SDL_ClearQueuedAudio)                                                      \
  X(SDL_RWFromFile)                                                            \
  X(SDL_LoadWAV_RW)                                                            \
  X(SDL_FreeWAV)                                                               \
  X(SDL_WaitEvent)                                                             \
  X(SDL_WaitEventTimeout)                                                      \
  X(SDL_PollEvent)                                                             \
  X(SDL_PushEvent)                                                             \
  X(SDL_EventState)                                                            \
  X(SDL_RegisterEvents)                                                        \
  X(SDL_CreateWindow)                                                          \
  X(SDL_CreateWindowFrom)                                                      \
  X(SDL_DestroyWindow)                                                         \
  X(SDL_GetWindowSize)                                                         \
  X(SDL_SetWindowSize)                                                         \
  X(SDL_SetWindowTitle)                                                        \
  X(SDL_ShowWindow)                                                            \
  X(SDL_SetWindowInputFocus)                                                   \
  X(SDL_CreateRenderer)                                                        \
  X(SDL_DestroyRenderer)                                                       \
  X(SDL_GetRendererOutputSize)                                                 \
  X(SDL_SetRenderDrawColor)                                                    \
  X(SDL_RenderClear)                                                           \
  X(SDL_RenderFillRect)                                                        \
  X(SDL_RenderCopy)                                                            \
  X(SDL_RenderPresent)                                                         \
  X(SDL_RenderReadPixels)                                                      \
  X(SDL_CreateSoftwareRenderer)                                                \
  X(SDL_CreateRGBSurfaceWithFormat)                                            \
  X(SDL_FreeSurface)                                                           \
  X(SDL_CreateTexture)                                                         \
  X(SDL_DestroyTexture)                                                        \
  X(SDL_UpdateYUVTexture)                                                      \
  X(SDL_UpdateTexture)                                                         \
  X(SDL_LockTexture)                                                           \
  X(SDL_UnlockTexture)                                                         \
  X(SDL_CreateMutex)                                                           \
  X(SDL_LockMutex)                                                             \
  X(SDL_UnlockMutex)                                                           \
  X(SDL_DestroyMutex)                                                          \
  X(SDL_CreateCond)                                                            \
  X(SDL_DestroyCond)                                                           \
  X(SDL_CondSignal)                                                            \
  X(SDL_CondWait)                                                              \
  X(SDL_CondWaitTimeout)                                                       \
  X(SDL_CreateThread)                                                          \
  X(SDL_WaitThread)

// The pointers themselves, one per entry, named as the library names it.
namespace lib {
#define QX_DECLARE_ENTRY(name) extern decltype(&::name) name;
QX_AVCODEC_ENTRIES(QX_DECLARE_ENTRY)
QX_AVDEVICE_ENTRIES(QX_DECLARE_ENTRY)
QX_AVFILTER_ENTRIES(QX_DECLARE_ENTRY)
QX_AVFORMAT_ENTRIES(QX_DECLARE_ENTRY)
QX_AVUTIL_ENTRIES(QX_DECLARE_ENTRY)
QX_SWSCALE_ENTRIES(QX_DECLARE_ENTRY)
QX_SWRESAMPLE_ENTRIES(QX_DECLARE_ENTRY)
QX_CRT_ENTRIES(QX_DECLARE_ENTRY)
QX_SDL_ENTRIES(QX_DECLARE_ENTRY)
#undef QX_DECLARE_ENTRY
}  // namespace lib
