// The start-up password lock (objectName TForm5), shown before the main
// window when the machine-wide lock file has its section. The stored value
// is the password scrambled byte by byte with a one-byte key.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace app {

inline constexpr unsigned char kPasswordKey = 0xA7;
inline constexpr const char* kMasterPassword = "kqvkqv";
inline const QString kWrongPasswordMessage = QStringLiteral("输入的密码错误,请和本机管理人员联系！");

// Each byte of the text's 8-bit (locale) form exclusive-or kPasswordKey.
std::string ScramblePassword(const QString& typed);

// Whether the typed text opens the lock whose stored value is `stored`.
bool PasswordAccepted(const QString& typed, const std::string& stored);

class PasswordLock : public QDialog {
  Q_OBJECT

 public:
  explicit PasswordLock(QWidget* parent = nullptr);

  // Runs the lock when the lock file has its section: true when the program
  // may go on (no lock, right or master password), false when it must end
  // ("退出", or a wrong password after its message).
  bool Unlock();

  QLineEdit* Edit() const { return edit_; }
  // "确定" / "退出".
  void ConfirmClicked();
  void QuitClicked();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLineEdit* edit_ = nullptr;
  bool refused_ = false;
};

}  // namespace app
