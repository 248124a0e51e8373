#pragma once
// TEngineProcess: a GTP engine as a child process under QProcess, the transport of a
// go::gtp::TClient. Nothing here waits for the engine: its output arrives with the event
// loop, so the window stays alive while the engine thinks. The process is killed when the
// object goes.
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "go/gtp/GtpClient.h"

class QProcess;
class QTimer;

namespace miretoka::versus {

class TEngineProcess : public QObject, public go::gtp::TTransport {
  Q_OBJECT
 public:
  explicit TEngineProcess(QObject *parent = nullptr);
  ~TEngineProcess() override;

  go::gtp::TClient &Client() { return *FClient; }
  // Starts the program; a program that cannot be started breaks the client at once
  // (TFault::NotStarted).
  void Start(const QString &program, const QStringList &arguments);

  // go::gtp::TTransport
  void Write(const std::string &bytes) override;
  void StartTimer(int milliseconds) override;
  void StopTimer() override;
  void Kill() override;

 private:
  QProcess *FProcess;
  QTimer *FTimer;
  std::unique_ptr<go::gtp::TClient> FClient;
  QString FProgram;
};

}  // namespace miretoka::versus
