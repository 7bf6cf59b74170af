// Video hook libraries: loading (once per process), configuring, running
// and releasing the hooks of a task.
#include "engine/video_hooks.h"

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <mutex>

#include "engine/custom_ffmpeg.h"
#include "media/library_tables.h"

namespace {

// Loaded hook libraries by file name. A library stays loaded until the
// process ends: hooks of finished tasks may have left state in it, and
// code of it may still be referenced by the library log.
std::mutex& LibraryLock() {
  static std::mutex lock;
  return lock;
}
std::map<std::string, void*>& Libraries() {  // guarded by LibraryLock()
  static std::map<std::string, void*> libraries;
  return libraries;
}

// The module of fileName, loading it on first use; null when it cannot be
// loaded (the reason went to the library log). The system's search applies
// to a bare name; a name with a folder is taken as it is.
// Loading runs the library's initialisers and a failure is logged: neither
// under the lock. Two threads loading the same file get the same module.
void* LoadLibrary(const std::string& fileName) {
  {
    std::lock_guard<std::mutex> guard(LibraryLock());
    auto found = Libraries().find(fileName);
    if (found != Libraries().end()) return found->second;
  }
  void* module = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* error = dlerror();
    const std::string reason = error ? error : "cannot load the library";
    lib::av_log(nullptr, AV_LOG_ERROR, "%s\n", reason.c_str());
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(LibraryLock());
  Libraries().emplace(fileName, module);
  return module;
}

}  // namespace

namespace videohooks {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  const char separator = commandLine.find('|') != std::string::npos ? '|' : ' ';
  std::vector<std::string> args;
  size_t start = 0;
  while (start <= commandLine.size() && int(args.size()) < kMaxArguments) {
    size_t end = commandLine.find(separator, start);
    if (end == std::string::npos) end = commandLine.size();
    if (end > start) args.push_back(commandLine.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

size_t LoadedLibraryCount() {
  std::lock_guard<std::mutex> guard(LibraryLock());
  return Libraries().size();
}

}  // namespace videohooks

bool TVideoHooks::Add(const std::string& commandLine) {
  auto entry = std::make_unique<TEntry>();
  entry->Args = videohooks::SplitCommandLine(commandLine);
  if (entry->Args.empty()) return false;
  for (std::string& arg : entry->Args) entry->Argv.push_back(arg.data());
  entry->Argv.push_back(nullptr);
  const char* name = entry->Args[0].c_str();

  void* module = LoadLibrary(entry->Args[0]);
  if (!module) return false;
  entry->Configure = reinterpret_cast<TVideoHookConfigure>(dlsym(module, "Configure"));
  entry->Process = reinterpret_cast<TVideoHookProcess>(dlsym(module, "Process"));
  entry->Release = reinterpret_cast<TVideoHookRelease>(dlsym(module, "Release"));
  if (!entry->Process) {
    lib::av_log(nullptr, AV_LOG_ERROR, "Failed to find Process entrypoint in %s\n", name);
    return false;
  }
  if (entry->Configure || entry->Args.size() > 1) {
    if (!entry->Configure) {
      lib::av_log(nullptr, AV_LOG_ERROR, "Failed to find Configure entrypoint in %s\n", name);
      return false;
    }
    if (entry->Configure(&entry->Context, int(entry->Args.size()), entry->Argv.data()) != 0) {
      lib::av_log(nullptr, AV_LOG_ERROR, "Failed to Configure %s\n", name);
      return false;
    }
  }
  entries_.push_back(std::move(entry));
  return true;
}

void TVideoHooks::Process(THookPicture& picture, int pixelFormat, int width, int height, int64_t pts) {
  for (const std::unique_ptr<TEntry>& e : entries_) e->Process(e->Context, &picture, pixelFormat, width, height, pts);
}

void TVideoHooks::Release() {
  for (const std::unique_ptr<TEntry>& e : entries_)
    if (e->Release) e->Release(e->Context);
  entries_.clear();
}

// ---- the task's side ----

bool TCustomFFmpeg::AddVideoHook(const std::string& commandLine) {
  if (!videoHooks_.Add(commandLine)) return false;
  opt_.VideoHookAdded = true;
  return true;
}

void TCustomFFmpeg::ReleaseVideoHooks() {
  videoHooks_.Release();
  opt_.VideoHookAdded = false;
}

void TCustomFFmpeg::ProcessVideoHooks(uint8_t* const data[4], const int linesize[4], AVPixelFormat pixelFormat,
                                      int width, int height, int64_t pts) {
  if (videoHooks_.Empty()) return;
  THookPicture picture{};
  for (int i = 0; i < 4; ++i) {
    picture.data[i] = data[i];
    picture.linesize[i] = linesize[i];
  }
  videoHooks_.Process(picture, pixelFormat, width, height, pts);
}

void TCustomFFmpeg::ProcessVideoHooks(AVFrame* picture, AVPixelFormat pixelFormat, int width, int height,
                                      int64_t pts) {
  if (videoHooks_.Empty() || !picture) return;
  // A decoder may still reference a picture it handed out; a hook must
  // never write into that one.
  if (picture->buf[0] && lib::av_frame_make_writable(picture) < 0) {
    lib::av_log(nullptr, AV_LOG_ERROR, "hook buf malloc error.\n");
    return;
  }
  THookPicture hookPicture{};
  for (int i = 0; i < 8; ++i) {
    hookPicture.data[i] = picture->data[i];
    hookPicture.linesize[i] = picture->linesize[i];
  }
  videoHooks_.Process(hookPicture, pixelFormat, width, height, pts);
}
