#include "platform/qt/qt_outside.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

namespace platform {

bool QtOutside::OpenWithDefaultHandler(const std::string& pathOrUrl) {
  const QString text = QString::fromStdString(pathOrUrl);
  const QUrl url = text.startsWith('/') ? QUrl::fromLocalFile(text) : QUrl::fromUserInput(text);
  return QDesktopServices::openUrl(url);
}

bool QtOutside::DownloadToFile(const std::string& url, const std::string& file, std::string* error) {
  QNetworkAccessManager manager;
  QNetworkRequest request(QUrl(QString::fromStdString(url)));
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  QNetworkReply* reply = manager.get(request);
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(timeoutMs);
  loop.exec();
  bool ok = false;
  if (!reply->isFinished()) {
    reply->abort();
    if (error) *error = "Download of " + url + " timed out";
  } else if (reply->error() != QNetworkReply::NoError) {
    if (error) *error = "Download of " + url + " failed: " + reply->errorString().toStdString();
  } else {
    // Written beside the target and renamed over it: no partial file.
    QSaveFile out(QString::fromStdString(file));
    if (out.open(QIODevice::WriteOnly) && out.write(reply->readAll()) >= 0 && out.commit())
      ok = true;
    else if (error)
      *error = "Cannot write " + file;
  }
  delete reply;
  return ok;
}

bool QtOutside::ShowNotification(const std::string& title, const std::string& body) {
  static constexpr char kService[] = "org.freedesktop.Notifications";
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) return false;
  // Without a notification service a call would wait for the bus to time out.
  if (!bus.interface()->isServiceRegistered(QString::fromLatin1(kService)).value()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService),
                                                     QStringLiteral("/org/freedesktop/Notifications"),
                                                     QString::fromLatin1(kService), QStringLiteral("Notify"));
  call << QStringLiteral("Quvexa") << uint(0) << QStringLiteral("org.quvexa.Quvexa")
       << QString::fromStdString(title) << QString::fromStdString(body) << QStringList() << QVariantMap()
       << int(-1);
  return bus.send(call);
}

}  // namespace platform
