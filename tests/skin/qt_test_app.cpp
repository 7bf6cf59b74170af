#include "qt_test_app.h"

#include <mutex>

#include <QCoreApplication>

#include "skin/skin_apply.h"

namespace skintest {
namespace {

std::mutex warningsLock;
std::vector<std::string> warnings;  // guarded by warningsLock
QtMessageHandler previousHandler = nullptr;

void Collect(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  // The headless platform's notes about what it cannot do are no fault of a look.
  const bool platformNote = text.startsWith("This plugin does not support");
  if ((type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg) && !platformNote) {
    std::lock_guard<std::mutex> hold(warningsLock);
    warnings.push_back(text.toStdString());
  }
  if (previousHandler) previousHandler(type, context, text);
}

}  // namespace

QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "test_skin";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (existing) return existing;
    auto* created = new QApplication(argc, argv);
    skin::UseSkinBaseStyle();
    return created;
  }();
  return *app;
}

QtWarnings::QtWarnings() {
  std::lock_guard<std::mutex> hold(warningsLock);
  warnings.clear();
  previousHandler = qInstallMessageHandler(Collect);
}

QtWarnings::~QtWarnings() { qInstallMessageHandler(previousHandler); }

std::vector<std::string> QtWarnings::Take() {
  QCoreApplication::processEvents();
  std::lock_guard<std::mutex> hold(warningsLock);
  std::vector<std::string> taken;
  taken.swap(warnings);
  return taken;
}

void Settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

}  // namespace skintest
