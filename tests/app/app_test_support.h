// Shared pieces of the window tests: the application object, answers for
// the file dialogs and message boxes, a private program folder and home,
// and a way to act on a modal dialog from inside its own loop.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_seams.h"
#include "app/main_thread_bridge.h"
#include "support/temp_dir.h"

namespace apptest {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test_app";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance());
    QApplication* made = existing != nullptr ? existing : new QApplication(argc, argv);
    app::InstallMainThreadBridge();
    return made;
  }();
  return *app;
}

struct ShownMessage {
  app::MessageIcon Icon;
  QString Caption;
  QString Text;
};

// Answers the dialogs from queues and records every message box.
class FakeDialogs : public app::DialogSeams {
 public:
  FakeDialogs() { app::SetDialogs(this); }
  ~FakeDialogs() override { app::SetDialogs(nullptr); }

  QString OpenFile(QWidget*, const QStringList& filters) override {
    lastFilters = filters;
    ++openCalls;
    return files.empty() ? QString() : Take(files);
  }
  QStringList OpenFiles(QWidget*, const QStringList& filters) override {
    lastFilters = filters;
    ++openCalls;
    if (fileLists.empty()) return {};
    QStringList list = fileLists.front();
    fileLists.pop_front();
    return list;
  }
  QString ChooseFolder(QWidget*, const QString& title, const QString&) override {
    folderTitles << title;
    return folders.empty() ? QString() : Take(folders);
  }
  bool Message(QWidget*, app::MessageIcon icon, const QString& caption, const QString& text,
               app::MessageButtons) override {
    messages.push_back({icon, caption, text});
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  QStringList Texts() const {
    QStringList texts;
    for (const ShownMessage& m : messages) texts << m.Text;
    return texts;
  }

  std::deque<QString> files;
  std::deque<QStringList> fileLists;
  std::deque<QString> folders;
  std::deque<bool> answers;  // OK (true) when empty
  std::vector<ShownMessage> messages;
  QStringList lastFilters;
  QStringList folderTitles;
  int openCalls = 0;

 private:
  static QString Take(std::deque<QString>& queue) {
    QString value = queue.front();
    queue.pop_front();
    return value;
  }
};

// HOME (and the XDG configuration folder) pointed at a fresh folder for the
// test's lifetime, so that ~/Video_Directory and ~/.config stay private.
class ScopedHome {
 public:
  ScopedHome() : home_(testsupport::MakeTempSubdir("home")) {
    Save("HOME");
    Save("XDG_CONFIG_HOME");
    setenv("HOME", home_.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
  }
  ~ScopedHome() {
    for (const auto& [name, value] : saved_) {
      if (value.has) setenv(name.c_str(), value.text.c_str(), 1);
      else unsetenv(name.c_str());
    }
  }
  const std::string& Path() const { return home_; }

 private:
  struct Value {
    bool has;
    std::string text;
  };
  void Save(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    saved_.push_back({name, {value != nullptr, value != nullptr ? value : ""}});
  }
  std::string home_;
  std::vector<std::pair<std::string, Value>> saved_;
};

// Runs action once widget is visible: for modal dialogs, from inside the
// loop that shows them. The check repeats until it ran or the widget went.
inline void WhenShown(QWidget* widget, std::function<void()> action) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QPointer<QWidget> target(widget);
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, target, action, tries] {
    const bool gone = target.isNull() || ++*tries > 4000;
    if (!gone && !target->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    if (!gone) action();
  });
  timer->start();
}

}  // namespace apptest
