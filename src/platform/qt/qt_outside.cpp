#include "platform/qt/qt_outside.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

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

}  // namespace platform
