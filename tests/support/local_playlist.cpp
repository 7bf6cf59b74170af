#include "support/local_playlist.h"

#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/temp_dir.h"
#include "support/test_media.h"

namespace testsupport {

LoopbackListener::LoopbackListener() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd_, 8) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackListener::~LoopbackListener() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) ::close(fd_);
}

std::string LoopbackListener::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

void LoopbackListener::Serve() {
  while (!stop_) {
    pollfd waiting{fd_, POLLIN, 0};
    if (::poll(&waiting, 1, 20) <= 0) continue;
    const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    ++connections_;
    ::close(client);
  }
}

std::string WritePlaylist(const std::string& name, const std::string& entry) {
  const std::string path = TempPath(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "#EXTM3U\n"
         "#EXT-X-VERSION:3\n"
         "#EXT-X-TARGETDURATION:2\n"
         "#EXT-X-MEDIA-SEQUENCE:0\n"
         "#EXTINF:2.0,\n"
      << entry
      << "\n"
         "#EXT-X-ENDLIST\n";
  return path;
}

std::string PlaylistSegment() {
  MediaSpec spec;
  spec.container = "mpegts";
  spec.videoCodec = "mpeg2video";
  spec.audioCodecs = {"mp2"};
  spec.width = 160;
  spec.height = 120;
  spec.seconds = 1.0;
  return CachedMedia("segment.ts", spec);
}

}  // namespace testsupport
