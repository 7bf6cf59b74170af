// Path helpers with "/" as the separator. Narrow paths are the file
// system's bytes (UTF-8 on our systems); the wide overloads convert with
// UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The folder of the running executable, with its trailing "/".
std::string ExecutableFolder();

// The program's layout. A program folder (the build's bin/, a portable
// copy) holds the executable with skins/, sounds/, help/ and LibAV/ beside
// it, and the files the program writes (system.ini, update.ini). An
// installed copy has the executable in <prefix>/bin/ and what it only reads
// in <prefix>/share/quvexa/; what it writes goes to the user's XDG folders.

// The read-only folder `name` ("skins", "sounds", "help", "LibAV") with its
// trailing "/": beside the executable when it exists there, else under
// ../share/quvexa/ when it exists there, else the one beside the executable
// (the place a user of a portable copy would create it).
std::string ResourceFolder(const std::string& name);
std::string ResourceFolderFor(const std::string& programFolder, const std::string& name);

// Whether the program folder belongs to an installed copy: its parent holds
// share/quvexa/, or it is one of the system's program folders (/usr/bin …).
// Nothing is ever written into such a folder, even by a user who could.
bool IsInstalledProgramFolder(const std::string& programFolder);

// $XDG_CONFIG_HOME / $XDG_CACHE_HOME when set to an absolute path, else
// ~/.config/ / ~/.cache/ (the home folder from $HOME, else the password
// database). With the trailing "/"; nothing is created.
std::string UserConfigFolder();
std::string UserCacheFolder();

// Where the program keeps the file it writes: beside the executable for a
// program folder that is writable and not installed, else
// <user folder>/quvexa/fileName. The quvexa folder under the user folder
// is created (mode 0700) when missing, so the file can be written at once.
enum TUserFolderKind { ufConfig, ufCache };
std::string WrittenFilePathFor(const std::string& programFolder, const std::string& fileName,
                               TUserFolderKind kind);
// system.ini (settings) and update.ini (the downloaded update description).
std::string SettingsFilePath();
std::string UpdateFilePath();

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
