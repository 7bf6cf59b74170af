// Connects the platform's main-thread calls to Qt's event loop: queued
// calls are run from the loop as soon as a worker queues them, and waits of
// the main thread pump Qt's events.
#pragma once

namespace app {

// Call once after the QApplication exists, on the main thread.
void InstallMainThreadBridge();

}  // namespace app
