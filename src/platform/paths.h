// Path helpers with "/" as the separator. Narrow paths are the file
// system's bytes (UTF-8 on our systems); the wide overloads convert with
// UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The folder of the running executable, with its trailing "/".
std::string ExecutableFolder();

// Path with "/" appended unless it already ends in one (an empty path
// stays empty).
std::string WithTrailingSlash(const std::string& path);
std::wstring WithTrailingSlash(const std::wstring& path);

// Up to and including the last "/" / everything after it.
std::string FolderPart(const std::string& path);
std::string FilePart(const std::string& path);
std::wstring FolderPart(const std::wstring& path);
std::wstring FilePart(const std::wstring& path);

// True for an existing entry that is not a folder (symbolic links followed).
bool IsExistingFile(const std::string& path);
bool IsExistingFile(const std::wstring& path);
bool IsExistingFolder(const std::string& path);

// What a path names on disk, symbolic links followed: two paths name the
// same file (hard links, bind mounts, other spellings) exactly when their
// identities are equal. Known is false when the path names nothing.
struct TFileIdentity {
  bool Known = false;
  bool Regular = false;  // a plain file (not a pipe, socket, device or folder)
  uint64_t Device = 0;
  uint64_t Inode = 0;
  bool SameFileAs(const TFileIdentity& other) const {
    return Known && other.Known && Device == other.Device && Inode == other.Inode;
  }
};
TFileIdentity FileIdentity(const std::string& path);

// The file's full 64-bit size, or -1 unless the path names an existing file.
int64_t FileSizeOnDisk(const std::string& path);
int64_t FileSizeOnDisk(const std::wstring& path);

}  // namespace platform
