// The real outside world with Qt: the desktop's default handler through
// QDesktopServices, downloads with Qt Network and desktop notifications over
// D-Bus. Power-off, sounds and the
// lock file are those of SystemOutside. Needs a QGuiApplication.
#pragma once

#include "platform/system_outside.h"

namespace platform {

class QtOutside : public SystemOutside {
 public:
  bool OpenWithDefaultHandler(const std::string& pathOrUrl) override;
  // Runs a local event loop until the reply has finished or timeoutMs passed.
  bool DownloadToFile(const std::string& url, const std::string& file, std::string* error) override;

  // Through the freedesktop notification service on the session bus.
  bool ShowNotification(const std::string& title, const std::string& body) override;

  int timeoutMs = 30000;
};

}  // namespace platform
