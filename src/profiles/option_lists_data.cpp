// The named item lists and the per-type assignment table of the options
// dialog. The captions are compared byte for byte by the option resolution,
// so they must stay exactly as written here (including repeated items and
// the double blanks in some PSP size captions).
#include <array>

#include "profiles/option_lists.h"

namespace profiles {
namespace {

// clang-format off
const TNamedList kVC1 = {"VC1", {"MPEG4视频压缩器", "XviD 视频压缩器1", "XviD 视频压缩器2", "Divx 5 视频压缩器", "H264/AVC高清视频压缩器"}};
const TNamedList kVC2 = {"VC2", {"Divx 5 视频压缩器", "MPEG4视频压缩器", "XviD 视频压缩器1", "XviD 视频压缩器2", "H264/AVC高清视频压缩器"}};
const TNamedList kVC3 = {"VC3", {"MPEG4视频压缩器", "Divx 5 视频压缩器", "XviD 视频压缩器1", "XviD 视频压缩器2", "H264/AVC高清视频压缩器"}};
const TNamedList kVC4 = {"VC4", {"H264/AVC高清视频压缩器", "Divx 5 视频压缩器", "MPEG4 视频压缩器", "XviD 视频压缩器1", "XviD 视频压缩器2", "Divx 视频压缩器"}};
const TNamedList kVC5 = {"VC5", {"MPEG视频压缩器"}};
const TNamedList kVC6 = {"VC6", {"Divx 5 视频压缩器", "MPEG4 视频压缩器", "XviD 视频压缩器1", "XviD 视频压缩器2", "Divx 视频压缩器", "H264/AVC高清视频压缩器"}};
const TNamedList kVC7 = {"VC7", {"FLASH格式视频压缩器"}};
const TNamedList kVC8 = {"VC8", {"FLV格式视频压缩器"}};
const TNamedList kVC9 = {"VC9", {"PAL_DVD视频压缩器", "NTSC_DVD视频压缩器"}};
const TNamedList kVC10 = {"VC10", {"PAL_VCD视频压缩器", "NTSC_VCD视频压缩器"}};
const TNamedList kVC11 = {"VC11", {"VOB视频压缩器"}};
const TNamedList kVC12 = {"VC12", {"WMV视频压缩器"}};
const TNamedList kVC13 = {"VC13", {"QuickTime视频压缩器"}};
const TNamedList kVC14 = {"VC14", {"该格式无视频"}};
const TNamedList kVC15 = {"VC15", {"H264/AVC高清视频压缩器", "Divx 5 视频压缩器", "MPEG4 视频压缩器", "XviD 视频压缩器1", "XviD 视频压缩器2", "Divx 视频压缩器", "Mjpeg 视频压缩器"}};
const TNamedList kVC16 = {"VC16", {"Divx 5 视频压缩器", "MPEG4 视频压缩器", "XviD 视频压缩器1", "XviD 视频压缩器2", "Divx 视频压缩器", "Mjpeg 视频压缩器", "H264/AVC高清视频压缩器"}};
const TNamedList kVC17 = {"VC17", {"MPEG4视频压缩器", "XviD 视频压缩器1", "XviD 视频压缩器2", "H264/AVC高清视频压缩器", "Divx 5 视频压缩器"}};
const TNamedList kVC18 = {"VC18", {"RM视频压缩器1", "RM视频压缩器2"}};
const TNamedList kVC19 = {"VC19", {"PAL_SVCD视频压缩器", "NTSC_SVCD视频压缩器"}};
const TNamedList kVC20 = {"VC20", {"ASF视频压缩器"}};
const TNamedList kVC21 = {"VC21", {"Mjpeg 视频压缩器"}};
const TNamedList kVB1 = {"VB1", {"192 kbps (超低质量)", "384 kbps (低质量)", "528 kbps (中等质量)", "600 kbps (中等质量)", "768 kbps (高质量)", "816 kbps (高质量)", "1000 kbps (很高质量)", "1200 kbps (很高质量)", "1500 kbps (很高质量)", "1800 kbps(极高质量)", "2000 kbps(极高质量)"}};
const TNamedList kVB2 = {"VB2", {"192 kbps (超低质量)", "384 kbps (低质量)", "600 kbps (中等质量)", "768 kbps (高质量)", "1000 kbps (很高质量)", "1200 kbps (很高质量)", "1500 kbps (很高质量)", "1800 kbps(极高质量)", "2000 kbps(极高质量)", "2500 kbps(极高质量)", "3000 kbps(极高质量)"}};
const TNamedList kVB3 = {"VB3", {"216 kbps(超低质量)", "384 kbps(低质量)", "512 kbps(中等质量)", "768 kbps(高质量)", "1200 kbps(高质量)", "1500 kbps(很高质量)", "1800 kbps(很高质量)"}};
const TNamedList kVB4 = {"VB4", {"192 kbps (超低质量)", "384 kbps (低质量)", "600 kbps (中等质量)", "768 kbps (高质量)", "1000 kbps (很高质量)", "1200 kbps (很高质量)", "1500 kbps (很高质量)", "1800 kbps(极高质量)", "2000 kbps(极高质量)"}};
const TNamedList kVB5 = {"VB5", {"216 kbps(超低质量)", "384 kbps(低质量)", "512 kbps(中等质量)", "768 kbps(高质量)", "1500 kbps(很高质量)"}};
const TNamedList kVB6 = {"VB6", {"192 kbps (超低质量)", "384 kbps (低质量)", "528 kbps (中等质量)", "600 kbps (中等质量)", "768 kbps (高质量)", "816 kbps (高质量)", "1000 kbps (很高质量)", "1200 kbps (很高质量)", "1500 kbps (很高质量)", "1800 kbps(极高质量)", "2000 kbps(极高质量)", "2500 kbps(极高质量)", "3000 kbps(极高质量)"}};
const TNamedList kVB7 = {"VB7", {"128 kbps(超低质量)", "288 kbps(低质量)", "528 kbps(中等质量)", "816 kbps(高质量)", "1200 kbps(很高质量)", "1600 kbps(极高质量)", "1800 kbps(极高质量)", "2000 kbps(极高质量)"}};
const TNamedList kVB8 = {"VB8", {"128 kbps(超低质量)", "288 kbps(低质量)", "528 kbps(中等质量)", "816 kbps(高质量)", "1200 kbps(很高质量)", "1600 kbps(极高质量)", "1800 kbps(极高质量)", "2000 kbps(极高质量)", "2500 kbps(极高质量)", "3000 kbps(极高质量)"}};
const TNamedList kVB9 = {"VB9", {"无"}};
const TNamedList kVB10 = {"VB10", {"128 kbps(超低质量)", "288 kbps(低质量)", "528 kbps(中等质量)", "816 kbps(高质量)", "1000 kbps(高质量)", "1200 kbps(很高质量)", "1600 kbps(极高质量)", "1800 kbps(极高质量)", "2000 kbps(极高质量)", "2500 kbps(极高质量)", "3000 kbps(极高质量)"}};
const TNamedList kVB11 = {"VB11", {"768 kbps (高质量)", "816 kbps (高质量)", "1000 kbps (很高质量)", "1200 kbps (很高质量)", "1500 kbps (很高质量)", "1800 kbps(极高质量)", "2000 kbps(极高质量)", "2500 kbps(极高质量)", "3000 kbps(极高质量)", "3500 kbps(极高质量)"}};
const TNamedList kVB12 = {"VB12", {"192 kbps (超低质量)", "384 kbps (低质量)", "528 kbps (中等质量)", "600 kbps (中等质量)", "768 kbps (高质量)", "816 kbps (高质量)", "1000 kbps (很高质量)", "1200 kbps (很高质量)", "1500 kbps (很高质量)", "1800 kbps(极高质量)", "2000 kbps(极高质量)", "2500 kbps(极高质量)", "3000 kbps(极高质量)", "3500 kbps(极高质量)"}};
const TNamedList kVB13 = {"VB13", {"128 kbps(超低质量)", "288 kbps(低质量)", "528 kbps(中等质量)", "816 kbps(高质量)", "1000 kbps(高质量)", "1200 kbps(很高质量)", "1600 kbps(极高质量)", "1800 kbps(极高质量)", "2000 kbps(极高质量)", "2500 kbps(极高质量)", "3000 kbps(极高质量)", "3500 kbps(极高质量)", "4000 kbps(极高质量)"}};
const TNamedList kVB14 = {"VB14", {"216 kbps(超低质量)", "384 kbps(低质量)", "512 kbps(中等质量)", "768 kbps(高质量)", "1000 kbps(很高质量)", "1200 kbps(很高质量)", "1400 kbps(很高质量)", "1500 kbps(很高质量)", "1600 kbps(极高质量)", "1800 kbps(极高质量)", "2000 kbps(极高质量)", "2500 kbps(极高质量)"}};
const TNamedList kVB15 = {"VB15", {"128 kbps(超低质量)", "288 kbps(低质量)", "528 kbps(低质量)", "816 kbps(低质量)", "1200 kbps(一般质量)", "1600 kbps(一般质量)", "1800 kbps(一般质量)", "2000 kbps(中等质量)", "3000 kbps(高质量)", "4000 kbps(高质量)", "5000 kbps(极高质量)", "6000 kbps(极高质量)", "7000 kbps(极高质量)", "8000 kbps(极高质量)", "9000 kbps(极高质量)"}};
const TNamedList kVS1 = {"VS1", {"保持原分辨率", "176*144", "240*176", "320*240", "352*240", "352*288", "384*288", "480*480", "480*576", "640*368", "640*480", "704*480", "704*576", "720*480", "720*576", "1280*720", "1920*1080"}};
const TNamedList kVS2 = {"VS2", {"128*96", "176*144", "160*120", "320*240", "352*288", "368*208", "640*480"}};
const TNamedList kVS3 = {"VS3", {"保持原分辨率", "128*96", "176*144", "160*120", "320*240", "352*288", "368*208", "480*320", "480*368", "512*384", "640*480", "704*480", "704*576", "720*480", "720*576", "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200", "1920*1600", "2048*1536", "2560*1600"}};
const TNamedList kVS4 = {"VS4", {"640*480", "720*480", "720*576", "960*540", "1280*720"}};
const TNamedList kVS5 = {"VS5", {"320*240 (PSP所有固件版本适用)", "368*208 (PSP 2.0或更高固件版本适用)", "480*272  (PSP 3.03或更高固件版本适用)", "720*480  (PSP 3.4或更高固件版本适用)"}};
const TNamedList kVS6 = {"VS6", {"保持原分辨率", "176*144", "240*176", "320*240", "352*240", "352*288", "384*288", "480*480", "480*576", "640*368", "640*480", "704*480", "704*576", "720*480", "720*576", "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200", "1920*1600", "2048*1536", "2560*1600"}};
const TNamedList kVS7 = {"VS7", {"保持原分辨率", "176*144", "240*176", "320*240", "352*240", "352*288", "384*288", "480*480", "480*576", "640*368", "640*480", "704*480", "704*576", "720*480", "720*576", "1280*720"}};
const TNamedList kVS8 = {"VS8", {"无"}};
const TNamedList kVS9 = {"VS9", {"保持原分辨率", "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200", "1920*1600", "2048*1536", "2560*1600", "2560*1600", "3656*2664", "4096*3112"}};
const TNamedList kVS10 = {"VS10", {"保持原分辨率", "640*480", "704*480", "704*576", "720*480", "720*576", "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200", "1920*1600", "2048*1536", "2560*1600"}};
const TNamedList kVS11 = {"VS11", {"保持原分辨率", "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200", "1920*1600", "2048*1536", "2560*1600"}};
const TNamedList kVS12 = {"VS12", {"320*240 (PSP所有固件版本适用)", "368*208 (PSP 2.0或更高固件版本适用)", "480*272  (PSP 3.03或更高固件版本适用)", "640*480  (PSP 3.03或更高固件版本适用)", "720*480  (标清SD格式)", "1280*720  (高清晰HD格式)", "1920*1080  (高清晰HD格式)"}};
const TNamedList kVF1 = {"VF1", {"10", "12", "15", "20", "23.98", "24", "25", "29.97", "30"}};
const TNamedList kVF2 = {"VF2", {"15.00", "23.98", "25", "29.97", "30.00"}};
const TNamedList kVF3 = {"VF3", {"15.00", "23.98", "29.97"}};
const TNamedList kVF4 = {"VF4", {"保持原帧速率", "10.00", "13.00", "15.00", "18.00", "20.00", "23.00", "23.97", "24.00", "25.00", "29.97", "30.00"}};
const TNamedList kVF5 = {"VF5", {"保持原帧速率", "10.00", "13.00", "15.00", "18.00", "20.00", "23.00", "23.97", "24.00", "25.00", "30.00"}};
const TNamedList kVF6 = {"VF6", {"无"}};
const TNamedList kVF7 = {"VF7", {"20.00", "23.97", "23.98", "24.00", "25.00", "29.97", "30.00"}};
const TNamedList kAC1 = {"AC1", {"MP3音频编码器", "Flac音频编码器", "AAC音频编码器", "AC3音频编码器"}};
const TNamedList kAC2 = {"AC2", {"AAC音频编码器"}};
const TNamedList kAC3 = {"AC3", {"MP2音频编码器", "MP3音频编码器", "Flac音频编码器", "AAC音频编码器", "AC3音频编码器"}};
const TNamedList kAC4 = {"AC4", {"VOB音频编码器", "MP3音频编码器", "Flac音频编码器", "AAC音频编码器", "AC3音频编码器"}};
const TNamedList kAC5 = {"AC5", {"WMV音频编码器"}};
const TNamedList kAC6 = {"AC6", {"AAC音频编码器", "MP3音频编码器", "Flac音频编码器", "AC3音频编码器"}};
const TNamedList kAC7 = {"AC7", {"MP3音频编码器"}};
const TNamedList kAC8 = {"AC8", {"WMA音频编码器"}};
const TNamedList kAC9 = {"AC9", {"WAVE音频编码器"}};
const TNamedList kAC10 = {"AC10", {"AAC音频编码器", "MP3音频编码器"}};
const TNamedList kAC11 = {"AC11", {"自动音频编码器"}};
const TNamedList kAC12 = {"AC12", {"ASF音频编码器1", "ASF音频编码器2"}};
const TNamedList kAC13 = {"AC13", {"AC3音频编码器"}};
const TNamedList kAC14 = {"AC14", {"OGG音频编码器"}};
const TNamedList kAC15 = {"AC15", {"MP2音频编码器"}};
const TNamedList kAC16 = {"AC16", {"Flac音频编码器"}};
const TNamedList kAC17 = {"AC17", {"RM音频编码器"}};
const TNamedList kAC18 = {"AC18", {"AMR音频编码器"}};
const TNamedList kAB1 = {"AB1", {"16", "24", "32", "40", "48", "56", "64", "80", "96", "112", "128", "144", "160", "192", "224", "256", "320"}};
const TNamedList kAB2 = {"AB2", {"64", "96", "128"}};
const TNamedList kAB3 = {"AB3", {"64", "96", "128", "144", "160", "192", "224", "256", "320"}};
const TNamedList kAB4 = {"AB4", {"自动音频比特率"}};
const TNamedList kAB5 = {"AB5", {"4.75", "5.15", "5.9", "6.7", "7.4", "7.95", "10.2", "12.2"}};
const TNamedList kAR1 = {"AR1", {"11025", "16000", "22050", "32000", "44100", "48000"}};
const TNamedList kAR2 = {"AR2", {"24000", "32000", "44100", "48000"}};
const TNamedList kAR3 = {"AR3", {"24000"}};
const TNamedList kAR4 = {"AR4", {"11025", "22050", "32000", "44100", "48000"}};
const TNamedList kAR5 = {"AR5", {"11025", "22050", "44100"}};
const TNamedList kAR6 = {"AR6", {"11025", "22050", "44100", "44100", "48000"}};
const TNamedList kAR7 = {"AR7", {"11025", "22050", "44100", "48000"}};
const TNamedList kAR8 = {"AR8", {"44100", "48000"}};
const TNamedList kAR9 = {"AR9", {"自动音频采样率"}};
const TNamedList kAR10 = {"AR10", {"8000"}};
const TNamedList kAP1 = {"AP1", {"普通视频4:3模式", "宽屏视频16:9模式"}};
const TNamedList kAP2 = {"AP2", {"无"}};
const TNamedList kVL1 = {"VL1", {"无声音", "音量降低90%", "音量降低80%", "音量降低70%", "音量降低60%", "音量降低50%", "音量降低40%", "音量降低30%", "音量降低20%", "音量降低10%", "音量保持不变", "音量增加10%", "音量增加20%", "音量增加30%", "音量增加40%", "音量增加50%", "音量增加60%", "音量增加70%", "音量增加80%", "音量增加90%", "音量增加1倍", "音量增加1.5倍", "音量增加2倍", "音量增加3倍", "音量增加4倍", "音量增加5倍", "音量增加6倍", "音量增加7倍"}};
const TNamedList kCH1 = {"CH1", {"立体声", "单声道"}};
const TNamedList kCH2 = {"CH2", {"单声道"}};
// clang-format on

const std::array<const TNamedList*, 93> kAllLists = {
    &kVC1,  &kVC2,  &kVC3,  &kVC4,  &kVC5,  &kVC6,  &kVC7,  &kVC8,  &kVC9,  &kVC10, &kVC11, &kVC12,
    &kVC13, &kVC14, &kVC15, &kVC16, &kVC17, &kVC18, &kVC19, &kVC20, &kVC21, &kVB1,  &kVB2,  &kVB3,
    &kVB4,  &kVB5,  &kVB6,  &kVB7,  &kVB8,  &kVB9,  &kVB10, &kVB11, &kVB12, &kVB13, &kVB14, &kVB15,
    &kVS1,  &kVS2,  &kVS3,  &kVS4,  &kVS5,  &kVS6,  &kVS7,  &kVS8,  &kVS9,  &kVS10, &kVS11, &kVS12,
    &kVF1,  &kVF2,  &kVF3,  &kVF4,  &kVF5,  &kVF6,  &kVF7,  &kAC1,  &kAC2,  &kAC3,  &kAC4,  &kAC5,
    &kAC6,  &kAC7,  &kAC8,  &kAC9,  &kAC10, &kAC11, &kAC12, &kAC13, &kAC14, &kAC15, &kAC16, &kAC17,
    &kAC18, &kAB1,  &kAB2,  &kAB3,  &kAB4,  &kAB5,  &kAR1,  &kAR2,  &kAR3,  &kAR4,  &kAR5,  &kAR6,
    &kAR7,  &kAR8,  &kAR9,  &kAR10, &kAP1,  &kAP2,  &kVL1,  &kCH1,  &kCH2,
};

// Lists per control: VC, VB, VS, VF, AC, AB, AR, AP. Every type adds VL1 at
// row 10 ("音量保持不变") and CH1 at row 0 ("立体声"), except 209 (CH2).
struct TAssignmentRow {
  int32_t Code;
  std::array<TListChoice, 8> Lists;
};

// clang-format off
const std::array<TAssignmentRow, 81> kAssignmentRows = {{
    {500, {{{&kVC1, 3}, {&kVB1, 5}, {&kVS1, 0}, {&kVF1, 6}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {501, {{{&kVC2, 4}, {&kVB1, 7}, {&kVS1, 15}, {&kVF1, 6}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {502, {{{&kVC1, 0}, {&kVB1, 3}, {&kVS2, 3}, {&kVF1, 6}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {503, {{{&kVC1, 1}, {&kVB1, 3}, {&kVS1, 0}, {&kVF1, 6}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {504, {{{&kVC1, 0}, {&kVB2, 4}, {&kVS3, 11}, {&kVF1, 6}, {&kAC2, 0}, {&kAB2, 2}, {&kAR2, 3}, {&kAP1, 0}}}},
    {505, {{{&kVC3, 0}, {&kVB3, 4}, {&kVS4, 2}, {&kVF2, 4}, {&kAC2, 0}, {&kAB2, 2}, {&kAR3, 0}, {&kAP1, 0}}}},
    {506, {{{&kVC1, 0}, {&kVB4, 2}, {&kVS2, 3}, {&kVF1, 6}, {&kAC2, 0}, {&kAB2, 2}, {&kAR2, 3}, {&kAP1, 0}}}},
    {507, {{{&kVC3, 0}, {&kVB5, 2}, {&kVS5, 0}, {&kVF3, 2}, {&kAC2, 0}, {&kAB2, 2}, {&kAR3, 0}, {&kAP1, 0}}}},
    {508, {{{&kVC2, 1}, {&kVB6, 6}, {&kVS6, 11}, {&kVF1, 6}, {&kAC1, 2}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {509, {{{&kVC4, 0}, {&kVB7, 3}, {&kVS7, 10}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {510, {{{&kVC2, 0}, {&kVB1, 3}, {&kVS2, 3}, {&kVF1, 6}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {511, {{{&kVC5, 0}, {&kVB7, 3}, {&kVS7, 0}, {&kVF5, 9}, {&kAC3, 0}, {&kAB1, 10}, {&kAR4, 3}, {&kAP1, 0}}}},
    {512, {{{&kVC6, 0}, {&kVB7, 3}, {&kVS7, 0}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {513, {{{&kVC6, 3}, {&kVB7, 3}, {&kVS7, 0}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {514, {{{&kVC6, 5}, {&kVB7, 4}, {&kVS1, 15}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {515, {{{&kVC7, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR5, 1}, {&kAP1, 0}}}},
    {516, {{{&kVC8, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR5, 1}, {&kAP1, 0}}}},
    {517, {{{&kVC9, 0}, {&kVB7, 4}, {&kVS7, 13}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR6, 3}, {&kAP1, 0}}}},
    {518, {{{&kVC10, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP1, 0}}}},
    {519, {{{&kVC11, 0}, {&kVB8, 4}, {&kVS6, 0}, {&kVF4, 9}, {&kAC4, 0}, {&kAB1, 10}, {&kAR4, 3}, {&kAP1, 0}}}},
    {520, {{{&kVC12, 0}, {&kVB7, 2}, {&kVS7, 0}, {&kVF4, 9}, {&kAC5, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP1, 0}}}},
    {521, {{{&kVC1, 0}, {&kVB7, 2}, {&kVS7, 0}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR5, 1}, {&kAP1, 0}}}},
    {522, {{{&kVC5, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF5, 9}, {&kAC3, 0}, {&kAB1, 10}, {&kAR4, 3}, {&kAP1, 0}}}},
    {523, {{{&kVC13, 0}, {&kVB7, 3}, {&kVS7, 0}, {&kVF4, 9}, {&kAC6, 0}, {&kAB1, 10}, {&kAR7, 1}, {&kAP1, 0}}}},
    {524, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC7, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP2, 0}}}},
    {525, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC8, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP2, 0}}}},
    {526, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC9, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP2, 0}}}},
    {100, {{{&kVC6, 0}, {&kVB10, 4}, {&kVS6, 0}, {&kVF4, 9}, {&kAC6, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {101, {{{&kVC4, 0}, {&kVB10, 6}, {&kVS6, 0}, {&kVF4, 0}, {&kAC6, 0}, {&kAB1, 13}, {&kAR1, 5}, {&kAP1, 1}}}},
    {102, {{{&kVC2, 1}, {&kVB6, 6}, {&kVS6, 11}, {&kVF1, 6}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {103, {{{&kVC6, 1}, {&kVB10, 5}, {&kVS6, 0}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {104, {{{&kVC2, 1}, {&kVB6, 7}, {&kVS6, 15}, {&kVF1, 6}, {&kAC1, 2}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {105, {{{&kVC2, 1}, {&kVB11, 5}, {&kVS6, 20}, {&kVF1, 7}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {106, {{{&kVC13, 0}, {&kVB10, 4}, {&kVS6, 0}, {&kVF4, 0}, {&kAC10, 0}, {&kAB1, 10}, {&kAR7, 1}, {&kAP1, 1}}}},
    {107, {{{&kVC1, 0}, {&kVB8, 4}, {&kVS6, 0}, {&kVF4, 0}, {&kAC1, 2}, {&kAB1, 10}, {&kAR5, 1}, {&kAP1, 1}}}},
    {108, {{{&kVC4, 0}, {&kVB10, 6}, {&kVS6, 0}, {&kVF4, 0}, {&kAC1, 2}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {109, {{{&kVC2, 1}, {&kVB6, 7}, {&kVS6, 0}, {&kVF1, 6}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {110, {{{&kVC4, 3}, {&kVB10, 7}, {&kVS6, 17}, {&kVF4, 11}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {111, {{{&kVC2, 4}, {&kVB6, 7}, {&kVS6, 15}, {&kVF1, 6}, {&kAC6, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {112, {{{&kVC2, 1}, {&kVB6, 7}, {&kVS6, 15}, {&kVF1, 6}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {113, {{{&kVC2, 4}, {&kVB12, 9}, {&kVS6, 20}, {&kVF1, 8}, {&kAC6, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {114, {{{&kVC4, 1}, {&kVB10, 6}, {&kVS6, 20}, {&kVF4, 10}, {&kAC6, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {115, {{{&kVC4, 2}, {&kVB13, 6}, {&kVS9, 13}, {&kVF4, 10}, {&kAC6, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {116, {{{&kVC2, 1}, {&kVB6, 8}, {&kVS10, 0}, {&kVF1, 6}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {117, {{{&kVC1, 4}, {&kVB8, 5}, {&kVS11, 6}, {&kVF4, 0}, {&kAC6, 0}, {&kAB1, 10}, {&kAR5, 1}, {&kAP1, 1}}}},
    {118, {{{&kVC2, 2}, {&kVB6, 7}, {&kVS6, 15}, {&kVF1, 7}, {&kAC1, 2}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {119, {{{&kVC15, 4}, {&kVB10, 6}, {&kVS6, 17}, {&kVF4, 10}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 1}}}},
    {1, {{{&kVC16, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {2, {{{&kVC16, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {3, {{{&kVC16, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {4, {{{&kVC3, 0}, {&kVB5, 2}, {&kVS5, 0}, {&kVF3, 2}, {&kAC2, 0}, {&kAB2, 2}, {&kAR3, 0}, {&kAP1, 0}}}},
    {5, {{{&kVC17, 0}, {&kVB14, 3}, {&kVS12, 4}, {&kVF7, 5}, {&kAC2, 0}, {&kAB2, 2}, {&kAR2, 3}, {&kAP1, 0}}}},
    {6, {{{&kVC1, 0}, {&kVB4, 2}, {&kVS2, 3}, {&kVF1, 6}, {&kAC2, 0}, {&kAB2, 2}, {&kAR2, 3}, {&kAP1, 0}}}},
    {7, {{{&kVC1, 0}, {&kVB4, 2}, {&kVS2, 3}, {&kVF1, 6}, {&kAC2, 0}, {&kAB2, 2}, {&kAR2, 3}, {&kAP1, 0}}}},
    {8, {{{&kVC1, 0}, {&kVB4, 2}, {&kVS2, 3}, {&kVF1, 6}, {&kAC2, 0}, {&kAB2, 2}, {&kAR2, 3}, {&kAP1, 0}}}},
    {9, {{{&kVC1, 0}, {&kVB4, 2}, {&kVS2, 3}, {&kVF1, 6}, {&kAC2, 0}, {&kAB2, 2}, {&kAR2, 3}, {&kAP1, 0}}}},
    {10, {{{&kVC1, 0}, {&kVB1, 3}, {&kVS2, 3}, {&kVF1, 6}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {11, {{{&kVC1, 4}, {&kVB4, 2}, {&kVS2, 3}, {&kVF1, 6}, {&kAC1, 0}, {&kAB3, 2}, {&kAR8, 1}, {&kAP1, 0}}}},
    {12, {{{&kVC1, 0}, {&kVB1, 3}, {&kVS2, 3}, {&kVF1, 6}, {&kAC1, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {13, {{{&kVC7, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR5, 1}, {&kAP1, 0}}}},
    {14, {{{&kVC8, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR5, 1}, {&kAP1, 0}}}},
    {15, {{{&kVC18, 0}, {&kVB7, 2}, {&kVS7, 0}, {&kVF4, 0}, {&kAC11, 0}, {&kAB4, 0}, {&kAR9, 0}, {&kAP1, 0}}}},
    {16, {{{&kVC1, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR5, 1}, {&kAP1, 0}}}},
    {17, {{{&kVC13, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC6, 0}, {&kAB1, 10}, {&kAR7, 1}, {&kAP1, 0}}}},
    {18, {{{&kVC5, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF5, 9}, {&kAC3, 0}, {&kAB1, 10}, {&kAR4, 3}, {&kAP1, 0}}}},
    {19, {{{&kVC9, 0}, {&kVB7, 2}, {&kVS7, 13}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR6, 3}, {&kAP1, 0}}}},
    {20, {{{&kVC19, 0}, {&kVB7, 2}, {&kVS7, 7}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP1, 0}}}},
    {21, {{{&kVC10, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC1, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP1, 0}}}},
    {22, {{{&kVC12, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC5, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP1, 0}}}},
    {23, {{{&kVC20, 0}, {&kVB7, 2}, {&kVS7, 3}, {&kVF4, 9}, {&kAC12, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP1, 0}}}},
    {24, {{{&kVC21, 0}, {&kVB15, 8}, {&kVS7, 3}, {&kVF4, 0}, {&kAC7, 0}, {&kAB1, 10}, {&kAR1, 4}, {&kAP1, 0}}}},
    {200, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC7, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP2, 0}}}},
    {201, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC8, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP2, 0}}}},
    {202, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC9, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP2, 0}}}},
    {203, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC2, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP2, 0}}}},
    {204, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC13, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP2, 0}}}},
    {205, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC14, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP2, 0}}}},
    {206, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC15, 0}, {&kAB1, 10}, {&kAR4, 3}, {&kAP2, 0}}}},
    {207, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC16, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP2, 0}}}},
    {208, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC17, 0}, {&kAB1, 10}, {&kAR7, 3}, {&kAP2, 0}}}},
    {209, {{{&kVC14, 0}, {&kVB9, 0}, {&kVS8, 0}, {&kVF6, 0}, {&kAC18, 0}, {&kAB5, 4}, {&kAR10, 0}, {&kAP2, 0}}}},
}};
// clang-format on

std::array<TTypeAssignment, 81> BuildAssignments() {
  std::array<TTypeAssignment, 81> result{};
  for (size_t i = 0; i < kAssignmentRows.size(); ++i) {
    const TAssignmentRow& row = kAssignmentRows[i];
    result[i].Code = row.Code;
    for (size_t k = 0; k < row.Lists.size(); ++k) result[i].Lists[k] = row.Lists[k];
    result[i].Lists[olVolume] = {&kVL1, 10};
    result[i].Lists[olChannels] = row.Code == 209 ? TListChoice{&kCH2, 0} : TListChoice{&kCH1, 0};
  }
  return result;
}

const std::array<TTypeAssignment, 81>& Assignments() {
  static const std::array<TTypeAssignment, 81> assignments = BuildAssignments();
  return assignments;
}

}  // namespace

const TNamedList* FindNamedList(std::string_view name) {
  for (const TNamedList* list : kAllLists)
    if (list->Name == name) return list;
  return nullptr;
}

std::vector<const TNamedList*> NamedLists() { return {kAllLists.begin(), kAllLists.end()}; }

const TTypeAssignment* FindAssignment(int32_t code) {
  for (const TTypeAssignment& assignment : Assignments())
    if (assignment.Code == code) return &assignment;
  return nullptr;
}

}  // namespace profiles
