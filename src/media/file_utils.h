// Whole-file reading and text splitting.
#pragma once

#include <cstdint>
#include <string>

// Reads the file into a buffer from av_malloc with a zero byte after the
// data; *size is the data size + 1. Returns 0, -1 when the file cannot be
// opened or read, or AVERROR(ENOMEM). The caller frees *buffer with av_free.
int ReadWholeFile(const std::string& fileName, uint8_t** buffer, int64_t* size);

// head = the text before the first delimiter. With remove, text keeps only
// what follows the delimiter. Without a delimiter head is all of text and,
// with remove, text becomes empty.
void SplitAt(std::string& text, const std::string& delimiter, bool remove, std::string& head);
