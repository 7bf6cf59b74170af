#include "app/main_thread_bridge.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "platform/main_thread.h"

namespace app {

void InstallMainThreadBridge() {
  platform::SetMainThread();
  platform::SetMessagePump([] { QCoreApplication::processEvents(); });
  platform::SetWakeUpHook([] {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return;
    QMetaObject::invokeMethod(application, [] { platform::RunPendingMainThreadCalls(); }, Qt::QueuedConnection);
  });
}

}  // namespace app
