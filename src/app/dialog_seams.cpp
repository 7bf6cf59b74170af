#include "app/dialog_seams.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace app {
namespace {

DialogSeams* g_dialogs = nullptr;

QFileDialog* MakeOpenDialog(QWidget* parent, const QStringList& nameFilters, QFileDialog::FileMode mode) {
  auto* dialog = new QFileDialog(parent);
  dialog->setAttribute(Qt::WA_DeleteOnClose, false);
  dialog->setFileMode(mode);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  // The labels carry their own mask text; Qt's copy of it stays hidden.
  dialog->setOptions(QFileDialog::HideNameFilterDetails | QFileDialog::ReadOnly);
  dialog->setNameFilters(nameFilters);
  if (!nameFilters.isEmpty()) dialog->selectNameFilter(nameFilters.first());
  return dialog;
}

}  // namespace

QString QtDialogSeams::OpenFile(QWidget* parent, const QStringList& nameFilters) {
  QFileDialog* dialog = MakeOpenDialog(parent, nameFilters, QFileDialog::ExistingFile);
  QString chosen;
  if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
    chosen = dialog->selectedFiles().first();
  delete dialog;
  return chosen;
}

QStringList QtDialogSeams::OpenFiles(QWidget* parent, const QStringList& nameFilters) {
  QFileDialog* dialog = MakeOpenDialog(parent, nameFilters, QFileDialog::ExistingFiles);
  QStringList chosen;
  if (dialog->exec() == QDialog::Accepted) chosen = dialog->selectedFiles();
  delete dialog;
  return chosen;
}

QString QtDialogSeams::ChooseFolder(QWidget* parent, const QString& title, const QString& start) {
  return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

bool QtDialogSeams::Message(QWidget* parent, MessageIcon icon, const QString& caption, const QString& text,
                            MessageButtons buttons) {
  QMessageBox::Icon qtIcon = QMessageBox::Information;
  switch (icon) {
    case MessageIcon::Information: qtIcon = QMessageBox::Information; break;
    case MessageIcon::Warning: qtIcon = QMessageBox::Warning; break;
    case MessageIcon::Error: qtIcon = QMessageBox::Critical; break;
    case MessageIcon::Question: qtIcon = QMessageBox::Question; break;
  }
  const QMessageBox::StandardButtons qtButtons =
      buttons == MessageButtons::OkCancel ? (QMessageBox::Ok | QMessageBox::Cancel) : QMessageBox::Ok;
  QMessageBox box(qtIcon, caption, text, qtButtons, parent);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  if (buttons == MessageButtons::OkCancel) box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
  return box.exec() == QMessageBox::Ok;
}

DialogSeams& Dialogs() {
  static QtDialogSeams real;
  return g_dialogs != nullptr ? *g_dialogs : real;
}

void SetDialogs(DialogSeams* dialogs) { g_dialogs = dialogs; }

}  // namespace app
