#include "app/update_dialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "media/ffmpeg_logger.h"
#include "platform/ini_file.h"
#include "platform/outside.h"
#include "platform/paths.h"
#include "skin/saved_skin.h"

#ifndef QUVEXA_UPDATE_URL
#define QUVEXA_UPDATE_URL "http://update.quvexa.example/fullsj/vorel_pu.txt"
#endif

namespace {

constexpr char kUpdateFileName[] = "update.ini";
constexpr char kVersionSection[] = "version";

QString FromIni(const platform::IniFile& ini, const char* key) {
  return QString::fromStdString(ini.ReadString(kVersionSection, key, ""));
}

}  // namespace

UpdateDialogSetup DefaultUpdateDialogSetup() {
  UpdateDialogSetup setup;
  setup.updateUrl = QUVEXA_UPDATE_URL;
  setup.programFolder = platform::ExecutableFolder();
  setup.systemIni = platform::SettingsFilePath();
  return setup;
}

bool IsOpenableDownloadLink(const QString& link) {
  const QUrl url(link, QUrl::StrictMode);
  if (!url.isValid() || url.host().isEmpty()) return false;
  const QString scheme = url.scheme().toLower();
  return scheme == "http" || scheme == "https";
}

UpdateDialog::UpdateDialog(UpdateDialogSetup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)) {
  setObjectName("TForm6");
  setWindowTitle("网上升级");
  setModal(true);

  auto* steps = new QLabel(
      "软件更新步骤:\n"
      "1.请确认您已经连接到网上,如果您设置了防火墙,必须允许程序通过.\n"
      "2.检测软件是否有新版本,如果有点击下载按钮.\n"
      "3.软件更新可能需要30秒--几分钟,这期间请您耐心等待...");
  steps->setObjectName("StepsLabel");
  steps->setWordWrap(true);
  status_ = new QLabel("状态信息:");
  status_->setObjectName("StatusLabel");
  status_->setTextFormat(Qt::PlainText);
  text_ = new QPlainTextEdit;
  text_->setObjectName("InfoMemo");
  text_->setReadOnly(true);
  text_->setMinimumHeight(150);
  progress_ = new QProgressBar;
  progress_->setObjectName("UpdateProgress");
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(true);
  checkButton_ = new QPushButton("检测升级");
  checkButton_->setObjectName("CheckButton");
  downloadButton_ = new QPushButton("开始下载");
  downloadButton_->setObjectName("DownloadButton");
  downloadButton_->setEnabled(false);
  backButton_ = new QPushButton("返回");
  backButton_->setObjectName("BackButton");

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(checkButton_);
  buttons->addWidget(downloadButton_);
  buttons->addWidget(backButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(steps);
  layout->addWidget(status_);
  layout->addWidget(text_, 1);
  layout->addWidget(progress_);
  layout->addLayout(buttons);
  resize(480, 380);

  connect(checkButton_, &QPushButton::clicked, this, &UpdateDialog::CheckForUpdate);
  connect(downloadButton_, &QPushButton::clicked, this, &UpdateDialog::OpenDownloadLink);
  connect(backButton_, &QPushButton::clicked, this, &QDialog::reject);

  showMessage = [this](const QString& text) { QMessageBox::warning(this, "网上升级", text); };
}

std::string UpdateDialog::UpdateFilePath() const {
  return platform::WrittenFilePathFor(setup_.programFolder, kUpdateFileName, platform::ufCache);
}

void UpdateDialog::showEvent(QShowEvent* event) {
  skin::ApplySavedSkin(this, platform::IniFile(setup_.systemIni), setup_.programFolder);
  text_->clear();
  SetStatus("状态信息:");
  downloadButton_->setEnabled(false);
  SetProgress(0);
  QDialog::showEvent(event);
}

void UpdateDialog::done(int result) {
  if (busy_) return;  // closes only after the download has ended
  QDialog::done(result);
}

void UpdateDialog::SetStatus(const QString& text) {
  status_->setText(text);
  emit StatusShown(text);
}

void UpdateDialog::SetProgress(int value) { progress_->setValue(value); }

void UpdateDialog::ShowLines(const QStringList& lines) {
  text_->clear();
  for (const QString& line : lines) text_->appendPlainText(line);
}

bool UpdateDialog::Download(const std::string& file, std::string* error) {
  busy_ = true;
  const bool downloadWas = downloadButton_->isEnabled();
  checkButton_->setEnabled(false);
  downloadButton_->setEnabled(false);
  backButton_->setEnabled(false);
  // Paint the waiting texts before a download that may not serve events.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  bool ok = platform::TheOutside().DownloadToFile(setup_.updateUrl, file, error);
  if (ok && platform::FileSizeOnDisk(file) > kMaxUpdateFileBytes) {
    *error = "The update information from " + setup_.updateUrl + " is larger than " +
             std::to_string(kMaxUpdateFileBytes) + " bytes; it is not read";
    ok = false;
  }
  checkButton_->setEnabled(true);
  downloadButton_->setEnabled(downloadWas);
  backButton_->setEnabled(true);
  busy_ = false;
  return ok;
}

void UpdateDialog::CheckForUpdate() {
  if (busy_) return;
  SetProgress(0);
  SetStatus("正在连接软件网站....");
  ShowLines({"正在连接软件网站,请您耐心等待...."});
  SetProgress(20);

  const std::string file = UpdateFilePath();
  std::string error;
  if (!Download(file, &error)) {
    Log(this, llError, "Update check failed: " + error);
    const QString failed = "连接失败!可能网络忙或没连接到网络...";
    SetStatus(failed);
    ShowLines({failed});
    return;
  }

  SetProgress(50);
  SetStatus("正在检测新版本的程序....");
  const platform::IniFile info(file);
  const QString newVersion = FromIni(info, "new");
  const QString date = FromIni(info, "date");
  const QString link = FromIni(info, "links1");
  const QString size = FromIni(info, "size");

  if (newVersion == CurrentVersion()) {
    const QString latest = "没有检测到新版本,现在使用的为最新版本!";
    SetStatus(latest);
    ShowLines({latest});
    SetProgress(100);
    return;
  }

  text_->clear();
  SetStatus("发现新版本程序,您可以升级下载新版本。");
  ShowLines({"发现新版本程序....", "软件名称:Quvexa", "最新版本:" + newVersion, "更新日期:" + date,
             "软件大小:" + size, "下载链接:" + link, ""});
  downloadButton_->setEnabled(true);
  downloadLink_ = link;
  SetProgress(100);
  text_->appendPlainText(
      "检测完成,您可以点击<开始下载>按钮打开下载最新升级版本。推荐您使用（网际快车）软件下载。");
}

void UpdateDialog::OpenDownloadLink() {
  text_->clear();
  if (!IsOpenableDownloadLink(downloadLink_)) {
    // The address comes from the network: anything but a web address (a
    // local file, a program, another handler's scheme) is not opened.
    Log(this, llWarning,
        "Update check: refused to open the download address \"" + downloadLink_.toStdString() +
            "\" (only http and https addresses are opened)");
    if (showMessage)
      showMessage("下载链接不是有效的网址（只能打开 http:// 或 https:// 开头的地址），已拒绝打开。");
    return;
  }
  const std::string address = QUrl(downloadLink_, QUrl::StrictMode).toEncoded().toStdString();
  if (!platform::TheOutside().OpenWithDefaultHandler(address)) {
    Log(this, llError, "Update check: no handler opened " + address);
    if (showMessage) showMessage("无法打开下载链接，请确认已安装网页浏览器。");
  }
}
