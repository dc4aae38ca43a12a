#include "launcher/qt/single_instance.h"

#include <QDir>
#include <QLocalSocket>

#include <cstdlib>

#include "launcher/qt/peer_user.h"
#include "launcher/qt/private_folder.h"

namespace tavelund {
namespace {

constexpr int kAnswerMilliseconds = 3000;

}  // namespace

SingleInstance::SingleInstance(const QString& title, QObject* parent) : QObject(parent) {
  const PrivateFolder folder =
      privateSocketFolder(std::getenv("XDG_RUNTIME_DIR"), QDir::tempPath().toStdString());
  if (folder.path.empty()) {
    problem_ = QString::fromStdString(folder.problem);
  } else {
    name_ = QString::fromStdString(folder.path) + QStringLiteral("/") + title;
  }

  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      if (!peerIsThisUser(peer->socketDescriptor())) {
        peer->abort();
        continue;
      }
      connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
        if (peer->readAll().contains("raise")) {
          emit raiseRequested();
          peer->write("ok\n");
          peer->flush();
        }
      });
    }
  });
}

bool SingleInstance::claim() {
  if (name_.isEmpty()) return true;
  QLocalSocket other;
  other.connectToServer(name_);
  if (other.waitForConnected(kAnswerMilliseconds)) {
    if (peerIsThisUser(other.socketDescriptor())) {
      other.write("raise\n");
      other.waitForBytesWritten(kAnswerMilliseconds);
      other.waitForReadyRead(kAnswerMilliseconds);
      return false;
    }
    // Another user's socket under our name is no launcher of ours.
    other.abort();
  }
  // Nobody of ours answers: a socket file left by a launcher that crashed
  // (or not ours) is stale.
  QLocalServer::removeServer(name_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  // Without the socket the launcher still works; it only cannot be found.
  if (!server_.listen(name_)) {
    problem_ =
        QStringLiteral("cannot listen on ") + name_ + QStringLiteral(": ") + server_.errorString();
  }
  return true;
}

}  // namespace tavelund
