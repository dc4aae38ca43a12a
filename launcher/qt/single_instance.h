#pragma once
// One launcher per user and title: the first one listens on a local socket
// in a folder only this user can enter; a later start finds it there, asks
// it to come to the front and ends. Only a peer of the same user counts, on
// either side of the socket.
#include <QLocalServer>
#include <QObject>
#include <QString>

namespace tavelund {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // The folder is $XDG_RUNTIME_DIR, or a folder of this user in the
  // temporary folder (see privateSocketFolder).
  explicit SingleInstance(const QString& title, QObject* parent = nullptr);

  // True when no other launcher of this user runs (this one now answers
  // later starts); false when one was found and asked to come forward.
  bool claim();

  // The socket's full path; empty when there is no private folder.
  QString serverName() const { return name_; }

  // Why later starts will not find this launcher; empty when they will.
  QString problem() const { return problem_; }

 signals:
  void raiseRequested();

 private:
  QString name_;
  QString problem_;
  QLocalServer server_;
};

}  // namespace tavelund
