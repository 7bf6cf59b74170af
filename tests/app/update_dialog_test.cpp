// The update check against a web server inside the test: the texts, the
// progress values and their order, the file it leaves, and which download
// addresses it opens.
#include "app/update_dialog.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include "app_test_support.h"
#include "platform/paths.h"
#include "platform/qt/qt_outside.h"
#include "skin/built_in_looks.h"
#include "skin/skin_table.h"
#include "support/temp_dir.h"

namespace {

using apptest::App;

// A one-file web server on the loopback address: answers every GET with the
// body set last (or 404 when there is none).
class UpdateServer : public QObject {
 public:
  UpdateServer() {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Answer(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
  }
  std::string Url() const {
    return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + "/fullsj/vorel_pu.txt";
  }
  void Serve(const std::string& body) {
    body_ = body;
    found_ = true;
  }
  void ServeNothing() { found_ = false; }
  int Requests() const { return requests_; }

 private:
  void Answer(QTcpSocket* socket) {
    request_ += socket->readAll();
    if (!request_.contains("\r\n\r\n")) return;
    request_.clear();
    ++requests_;
    const std::string head = found_ ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found";
    const std::string body = found_ ? body_ : "not here";
    socket->write(QByteArray::fromStdString(
        head + "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body));
    socket->disconnectFromHost();
  }

  QTcpServer server_;
  QByteArray request_;
  std::string body_;
  bool found_ = false;
  int requests_ = 0;
};

// The real downloads; opening addresses is only recorded.
class LoopbackOutside : public platform::QtOutside {
 public:
  LoopbackOutside() { platform::SetOutside(this); }
  ~LoopbackOutside() override { platform::SetOutside(nullptr); }
  bool OpenWithDefaultHandler(const std::string& pathOrUrl) override {
    opened.push_back(pathOrUrl);
    return true;
  }
  std::vector<std::string> opened;
};

class UpdateDialogTest : public ::testing::Test {
 protected:
  // Before the fixture: its server needs the application's event loop.
  static void SetUpTestSuite() { App(); }
  void SetUp() override {
    program = testsupport::MakeTempSubdir("program") + "/";
    setup.updateUrl = server.Url();
    setup.programFolder = program;
    setup.systemIni = program + "system.ini";
    dialog = std::make_unique<UpdateDialog>(setup);
    dialog->showMessage = [this](const QString& text) { messages << text; };
    QObject::connect(dialog.get(), &UpdateDialog::StatusShown,
                     [this](const QString& text) { statuses << text; });
    QObject::connect(Progress(), &QProgressBar::valueChanged, [this](int value) { progressValues << value; });
    dialog->show();
    statuses.clear();
    progressValues.clear();
  }
  void TearDown() override { dialog.reset(); }

  QProgressBar* Progress() { return dialog->findChild<QProgressBar*>("UpdateProgress"); }
  QString Text() { return dialog->findChild<QPlainTextEdit*>("InfoMemo")->toPlainText(); }
  QString Status() { return dialog->findChild<QLabel*>("StatusLabel")->text(); }
  QPushButton* DownloadButton() { return dialog->findChild<QPushButton*>("DownloadButton"); }
  void Check() {
    statuses.clear();
    progressValues.clear();
    dialog->CheckForUpdate();
  }

  UpdateServer server;
  LoopbackOutside outside;
  std::string program;
  UpdateDialogSetup setup;
  std::unique_ptr<UpdateDialog> dialog;
  QStringList statuses, messages;
  QList<int> progressValues;
};

const char kNewVersion[] =
    "[version]\nnew=1.70\ndate=2026-11-30\nlinks1=https://downloads.quvexa.example/quvexa-1.70.tar.gz\n"
    "size=12.5MB\n";

}  // namespace

TEST_F(UpdateDialogTest, SameVersionReportsNothingNew) {
  EXPECT_EQ(dialog->objectName(), "TForm6");
  EXPECT_EQ(dialog->windowTitle(), "网上升级");
  EXPECT_EQ(Status(), "状态信息:");
  EXPECT_FALSE(DownloadButton()->isEnabled());

  server.Serve("[version]\nnew=1.63\ndate=2026-01-01\nlinks1=http://a.example/b\nsize=1MB\n");
  Check();
  EXPECT_EQ(statuses, QStringList({"正在连接软件网站....", "正在检测新版本的程序....",
                                   "没有检测到新版本,现在使用的为最新版本!"}));
  EXPECT_EQ(progressValues, QList<int>({20, 50, 100}));
  EXPECT_EQ(Text(), "没有检测到新版本,现在使用的为最新版本!");
  EXPECT_FALSE(DownloadButton()->isEnabled());
  EXPECT_TRUE(dialog->DownloadLink().isEmpty());
  // The information is kept beside the program.
  EXPECT_TRUE(platform::IsExistingFile(program + "update.ini"));
}

TEST_F(UpdateDialogTest, AnyOtherVersionIsReportedAsNewAndItsAddressOpened) {
  server.Serve(kNewVersion);
  Check();
  EXPECT_EQ(statuses.last(), "发现新版本程序,您可以升级下载新版本。");
  EXPECT_EQ(progressValues, QList<int>({20, 50, 100}));
  EXPECT_EQ(Text(),
            "发现新版本程序....\n软件名称:Quvexa\n最新版本:1.70\n更新日期:2026-11-30\n软件大小:12.5MB\n"
            "下载链接:https://downloads.quvexa.example/quvexa-1.70.tar.gz\n\n"
            "检测完成,您可以点击<开始下载>按钮打开下载最新升级版本。推荐您使用（网际快车）软件下载。");
  EXPECT_TRUE(DownloadButton()->isEnabled());

  // An older version counts as different too; the second check's lines
  // replace the first's.
  server.Serve("[version]\nnew=1.62\nlinks1=http://old.example/quvexa-1.62.tar.gz\n");
  Check();
  EXPECT_TRUE(Text().startsWith("发现新版本程序....\n软件名称:Quvexa\n最新版本:1.62\n"));
  EXPECT_EQ(Text().count("发现新版本程序...."), 1);

  DownloadButton()->click();
  EXPECT_TRUE(Text().isEmpty());
  EXPECT_EQ(outside.opened, std::vector<std::string>({"http://old.example/quvexa-1.62.tar.gz"}));
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(UpdateDialogTest, MissingKeysReportANewVersionWithEmptyDetails) {
  server.Serve("just some text\n");
  Check();
  EXPECT_EQ(Text(),
            "发现新版本程序....\n软件名称:Quvexa\n最新版本:\n更新日期:\n软件大小:\n下载链接:\n\n"
            "检测完成,您可以点击<开始下载>按钮打开下载最新升级版本。推荐您使用（网际快车）软件下载。");
  // An empty address is not opened.
  DownloadButton()->click();
  EXPECT_TRUE(outside.opened.empty());
  EXPECT_EQ(messages.size(), 1);
}

TEST_F(UpdateDialogTest, AFailedCheckKeepsTheAddressOfTheLastNewVersion) {
  server.Serve(kNewVersion);
  Check();
  ASSERT_TRUE(DownloadButton()->isEnabled());

  server.ServeNothing();  // the file is gone: 404
  Check();
  EXPECT_EQ(statuses, QStringList({"正在连接软件网站....", "连接失败!可能网络忙或没连接到网络..."}));
  EXPECT_EQ(progressValues, QList<int>({0, 20}));
  EXPECT_EQ(Text(), "连接失败!可能网络忙或没连接到网络...");
  EXPECT_TRUE(DownloadButton()->isEnabled());
  DownloadButton()->click();
  EXPECT_EQ(outside.opened,
            std::vector<std::string>({"https://downloads.quvexa.example/quvexa-1.70.tar.gz"}));
}

TEST_F(UpdateDialogTest, AServerThatIsDownIsAFailedCheck) {
  // A port that was just free: nothing listens on it.
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  const quint16 port = probe.serverPort();
  probe.close();
  setup.updateUrl = "http://127.0.0.1:" + std::to_string(port) + "/fullsj/vorel_pu.txt";
  UpdateDialog down(setup);
  down.show();
  down.CheckForUpdate();
  EXPECT_EQ(down.findChild<QLabel*>("StatusLabel")->text(), "连接失败!可能网络忙或没连接到网络...");
  EXPECT_EQ(down.findChild<QProgressBar*>("UpdateProgress")->value(), 20);
  EXPECT_FALSE(down.findChild<QPushButton*>("DownloadButton")->isEnabled());
  EXPECT_TRUE(down.findChild<QPushButton*>("CheckButton")->isEnabled());
}

// The address comes from the network: only web addresses are opened.
TEST_F(UpdateDialogTest, OnlyWebAddressesAreOpened) {
  for (const char* link :
       {"file:///etc/passwd", "/usr/bin/xterm", "javascript:alert(1)", "smb://host/share/x.exe", "http://",
        "https//missing-colon.example", "ftp://files.example/quvexa.tar.gz"}) {
    messages.clear();
    server.Serve(std::string("[version]\nnew=9.9\nlinks1=") + link + "\n");
    Check();
    ASSERT_TRUE(DownloadButton()->isEnabled()) << link;
    DownloadButton()->click();
    EXPECT_TRUE(outside.opened.empty()) << link;
    EXPECT_EQ(messages.size(), 1) << link;
  }
  EXPECT_TRUE(IsOpenableDownloadLink("HTTPS://Downloads.Example/a%20b.tar.gz?x=1"));
  EXPECT_TRUE(IsOpenableDownloadLink("http://192.168.1.2:8080/q.zip"));
}

TEST_F(UpdateDialogTest, OversizedInformationIsNotRead) {
  server.Serve("[version]\nnew=1.70\nlinks1=http://big.example/\n" +
               std::string(UpdateDialog::kMaxUpdateFileBytes, ';') + "\n");
  Check();
  EXPECT_EQ(Status(), "连接失败!可能网络忙或没连接到网络...");
  EXPECT_FALSE(DownloadButton()->isEnabled());
}

TEST_F(UpdateDialogTest, WithoutAWritableProgramFolderTheInformationGoesToTheCache) {
  const std::string cache = testsupport::MakeTempSubdir("cache");
  const char* old = std::getenv("XDG_CACHE_HOME");
  const std::string previous = old ? old : "";
  setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  setup.programFolder = program + "not-there/";
  UpdateDialog installed(setup);
  installed.show();
  server.Serve(kNewVersion);
  installed.CheckForUpdate();
  EXPECT_EQ(installed.UpdateFilePath(), cache + "/quvexa/update.ini");
  EXPECT_TRUE(platform::IsExistingFile(cache + "/quvexa/update.ini"));
  EXPECT_TRUE(installed.findChild<QPushButton*>("DownloadButton")->isEnabled());
  old ? setenv("XDG_CACHE_HOME", previous.c_str(), 1) : unsetenv("XDG_CACHE_HOME");
}

TEST_F(UpdateDialogTest, ShowingTheDialogTakesTheSavedSkinAndResetsIt) {
  server.Serve(kNewVersion);
  Check();
  dialog->hide();
  std::ofstream(setup.systemIni) << "[skin]\nSetSkin=skin7\n";
  dialog->show();
  EXPECT_EQ(dialog->styleSheet(), skin::BuiltInLook(skin::TUIStyle::DeepBlue).styleSheet);
  EXPECT_EQ(Status(), "状态信息:");
  EXPECT_TRUE(Text().isEmpty());
  EXPECT_EQ(Progress()->value(), 0);
  EXPECT_FALSE(DownloadButton()->isEnabled());
}

// Not a test: the dialog after a check that found a new version, in every
// look, one picture per look (see tests/skin/skin_screenshots_test.cpp for
// how to run it on a virtual display).
TEST_F(UpdateDialogTest, DISABLED_Screenshots) {
  const char* folder = std::getenv("QUVEXA_SKIN_SHOTS");
  if (!folder) GTEST_SKIP() << "QUVEXA_SKIN_SHOTS names no folder";
  server.Serve(kNewVersion);
  for (const skin::SkinEntry& entry : skin::SkinEntries()) {
    dialog->hide();
    std::ofstream(setup.systemIni) << "[skin]\nSetSkin=" << entry.value << "\n";
    setup.programFolder = platform::ExecutableFolder();
    UpdateDialog shown(setup);
    shown.move(0, 0);
    shown.show();
    shown.CheckForUpdate();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    EXPECT_TRUE(shown.grab().save(QString("%1/update-%2.png").arg(folder, entry.value)));
  }
}
