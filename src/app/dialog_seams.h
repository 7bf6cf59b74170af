// File and folder dialogs and message boxes behind one small interface, so
// that tests answer them without a modal loop. Windows call Dialogs();
// tests install a fake with SetDialogs().
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace app {

enum class MessageIcon { Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel };

class DialogSeams {
 public:
  virtual ~DialogSeams() = default;

  // One existing file, or empty when cancelled. nameFilters as QFileDialog
  // takes them; the first is the initial choice.
  virtual QString OpenFile(QWidget* parent, const QStringList& nameFilters) = 0;
  // Several existing files (empty when cancelled).
  virtual QStringList OpenFiles(QWidget* parent, const QStringList& nameFilters) = 0;
  // A folder, or empty when cancelled.
  virtual QString ChooseFolder(QWidget* parent, const QString& title, const QString& start) = 0;
  // Shows a message box; true when it was answered with OK.
  virtual bool Message(QWidget* parent, MessageIcon icon, const QString& caption, const QString& text,
                       MessageButtons buttons = MessageButtons::Ok) = 0;
};

// The real dialogs of Qt.
class QtDialogSeams : public DialogSeams {
 public:
  QString OpenFile(QWidget* parent, const QStringList& nameFilters) override;
  QStringList OpenFiles(QWidget* parent, const QStringList& nameFilters) override;
  QString ChooseFolder(QWidget* parent, const QString& title, const QString& start) override;
  bool Message(QWidget* parent, MessageIcon icon, const QString& caption, const QString& text,
               MessageButtons buttons) override;
};

// The instance in use: the one set last, else a QtDialogSeams.
DialogSeams& Dialogs();
// Installs an instance (not owned; nullptr returns to the real dialogs).
void SetDialogs(DialogSeams* dialogs);

// Shorthand for the information box most windows show.
inline void Inform(QWidget* parent, const QString& caption, const QString& text) {
  Dialogs().Message(parent, MessageIcon::Information, caption, text);
}

}  // namespace app
