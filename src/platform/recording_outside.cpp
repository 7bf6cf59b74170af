#include "platform/recording_outside.h"

#include <cstdio>

namespace platform {

RecordingOutside::RecordingOutside() : previous_(&TheOutside()) { SetOutside(this); }

RecordingOutside::~RecordingOutside() { SetOutside(previous_); }

void RecordingOutside::Record(const std::string& call) {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.push_back(call);
}

bool RecordingOutside::OpenWithDefaultHandler(const std::string& pathOrUrl) {
  Record("open " + pathOrUrl);
  std::lock_guard<std::mutex> guard(lock_);
  return result_;
}

bool RecordingOutside::ShowNotification(const std::string& title, const std::string& body) {
  Record("notify " + title + ": " + body);
  std::lock_guard<std::mutex> guard(lock_);
  return result_;
}

bool RecordingOutside::PowerOff() {
  Record("poweroff");
  std::lock_guard<std::mutex> guard(lock_);
  return result_;
}

bool RecordingOutside::DownloadToFile(const std::string& url, const std::string& file, std::string* error) {
  Record("download " + url + " " + file);
  std::string body;
  {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = downloads_.find(url);
    if (!result_ || it == downloads_.end()) {
      if (error) *error = "Download of " + url + " failed";
      return false;
    }
    body = it->second;
  }
  FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) {
    if (error) *error = "Cannot write " + file;
    return false;
  }
  bool ok = std::fwrite(body.data(), 1, body.size(), f) == body.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok && error) *error = "Cannot write " + file;
  return ok;
}

bool RecordingOutside::PlaySoundFile(const std::string& file) {
  Record("sound " + file);
  std::lock_guard<std::mutex> guard(lock_);
  return result_;
}

LockFileEntry RecordingOutside::ReadLockFile() {
  Record("lock");
  std::lock_guard<std::mutex> guard(lock_);
  return lock_file_;
}

std::vector<std::string> RecordingOutside::Calls() const {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_;
}

void RecordingOutside::Clear() {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.clear();
}

void RecordingOutside::SetResult(bool ok) {
  std::lock_guard<std::mutex> guard(lock_);
  result_ = ok;
}

void RecordingOutside::SetDownload(const std::string& url, const std::string& body) {
  std::lock_guard<std::mutex> guard(lock_);
  downloads_[url] = body;
}

void RecordingOutside::SetLockFile(LockFileEntry entry) {
  std::lock_guard<std::mutex> guard(lock_);
  lock_file_ = std::move(entry);
}

}  // namespace platform
