#include "launcher/qt/single_instance.h"

#include <QLocalSocket>

#include <unistd.h>

namespace tavelund {
namespace {

constexpr int kAnswerMilliseconds = 3000;

}  // namespace

SingleInstance::SingleInstance(const QString& title, QObject* parent)
    : QObject(parent), name_(title + QStringLiteral("-") + QString::number(::getuid())) {
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
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
  QLocalSocket other;
  other.connectToServer(name_);
  if (other.waitForConnected(kAnswerMilliseconds)) {
    other.write("raise\n");
    other.waitForBytesWritten(kAnswerMilliseconds);
    other.waitForReadyRead(kAnswerMilliseconds);
    return false;
  }
  // Nobody answers: a socket file left by a launcher that crashed is stale.
  QLocalServer::removeServer(name_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  // Without the socket the launcher still works; it only cannot be found.
  server_.listen(name_);
  return true;
}

}  // namespace tavelund
