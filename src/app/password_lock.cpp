#include "app/password_lock.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/dialog_seams.h"
#include "platform/code_page.h"
#include "platform/outside.h"

namespace app {

std::string ScramblePassword(const QString& typed) {
  std::string bytes = platform::ToLocale(typed.toStdWString());
  for (char& byte : bytes) byte = char(static_cast<unsigned char>(byte) ^ kPasswordKey);
  return bytes;
}

bool PasswordAccepted(const QString& typed, const std::string& stored) {
  return ScramblePassword(typed) == stored || typed == QLatin1String(kMasterPassword);
}

PasswordLock::PasswordLock(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm5");
  setWindowTitle(QStringLiteral("密码窗口"));
  setModal(true);
  setFixedSize(320, 130);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("请输入您设置的密码："), this));
  edit_ = new QLineEdit(this);
  edit_->setObjectName("Edit1");
  edit_->setEchoMode(QLineEdit::Password);
  layout->addWidget(edit_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setObjectName("Button1");
  ok->setDefault(true);
  auto* quit = new QPushButton(QStringLiteral("退出"), this);
  quit->setObjectName("Button2");
  buttons->addWidget(ok);
  buttons->addWidget(quit);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &PasswordLock::ConfirmClicked);
  connect(quit, &QPushButton::clicked, this, &PasswordLock::QuitClicked);
}

void PasswordLock::showEvent(QShowEvent* event) {
  edit_->clear();
  refused_ = false;
  QDialog::showEvent(event);
}

void PasswordLock::ConfirmClicked() {
  const platform::LockFileEntry entry = platform::TheOutside().ReadLockFile();
  if (PasswordAccepted(edit_->text(), entry.value)) {
    accept();
    return;
  }
  Dialogs().Message(this, MessageIcon::Error, QStringLiteral("错误"), kWrongPasswordMessage);
  refused_ = true;
  reject();
}

void PasswordLock::QuitClicked() { reject(); }

bool PasswordLock::Unlock() {
  if (!platform::TheOutside().ReadLockFile().exists) return true;
  return exec() == QDialog::Accepted;
}

}  // namespace app
