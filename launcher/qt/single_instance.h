#pragma once
// One launcher per user and title: the first one listens on a local socket
// named after the title; a later start finds it there, asks it to come to
// the front and ends.
#include <QLocalServer>
#include <QObject>
#include <QString>

namespace tavelund {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(const QString& title, QObject* parent = nullptr);

  // True when no other launcher runs (this one now answers later starts);
  // false when another one was found and asked to come forward.
  bool claim();

  QString serverName() const { return name_; }

 signals:
  void raiseRequested();

 private:
  QString name_;
  QLocalServer server_;
};

}  // namespace tavelund
