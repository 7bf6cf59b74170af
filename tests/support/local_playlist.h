// Playlists in local files whose entries point elsewhere, and a listener on
// the loopback address that counts who connects to it: for tests that show
// an opener of a local file never follows an entry onto the network.
//
//   testsupport::LoopbackListener listener;
//   const std::string list = testsupport::WritePlaylist("list.m3u8", listener.Url("seg.ts"));
//   ... open list ...
//   EXPECT_EQ(listener.Connections(), 0);
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace testsupport {

// Listens on 127.0.0.1 (a port the system picks) until destroyed; every
// connection is counted and closed at once, so a client that does connect
// fails quickly instead of waiting for an answer.
class LoopbackListener {
 public:
  LoopbackListener();
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  bool Listening() const { return fd_ >= 0; }
  int Port() const { return port_; }
  // "http://127.0.0.1:<port>/" + path.
  std::string Url(const std::string& path) const;
  int Connections() const { return connections_.load(); }

 private:
  void Serve();

  int fd_ = -1;
  int port_ = 0;
  std::atomic<int> connections_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Writes an HLS playlist of one two-second segment, entry as written (a
// name relative to the playlist's folder, a path or a URL), to
// TempPath(name); returns the path.
std::string WritePlaylist(const std::string& name, const std::string& entry);

// One second of MPEG-2 video and MP2 audio in MPEG-TS under TempDir(), the
// kind of segment a playlist lists; returns its path.
std::string PlaylistSegment();

}  // namespace testsupport
