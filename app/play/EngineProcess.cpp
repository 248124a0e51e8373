#include "app/play/EngineProcess.h"

#include <QProcess>
#include <QTimer>

namespace miretoka::versus {

using go::gtp::TFault;

TEngineProcess::TEngineProcess(QObject *parent)
    : QObject(parent), FProcess(new QProcess(this)), FTimer(new QTimer(this)),
      FClient(std::make_unique<go::gtp::TClient>(*this)) {
  FTimer->setSingleShot(true);
  connect(FTimer, &QTimer::timeout, this, [this] { FClient->TimerExpired(); });
  // What the engine writes on its error channel is its own business (GNU Go is quiet there).
  FProcess->setProcessChannelMode(QProcess::SeparateChannels);
  connect(FProcess, &QProcess::readyReadStandardOutput, this,
          [this] { FClient->Received(FProcess->readAllStandardOutput().toStdString()); });
  connect(FProcess, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
    if (e == QProcess::FailedToStart) FClient->Ended(TFault::NotStarted, FProcess->errorString().toStdString());
  });
  connect(FProcess, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
    // Read what came before the end: an answer may still be in the pipe.
    const QByteArray rest = FProcess->readAllStandardOutput();
    if (!rest.isEmpty()) FClient->Received(rest.toStdString());
    FClient->Ended(TFault::Exited, status == QProcess::CrashExit ? "the engine crashed"
                                                                 : "the engine ended with code " + std::to_string(code));
  });
}

TEngineProcess::~TEngineProcess() {
  FProcess->disconnect(this);
  FTimer->stop();
  if (FProcess->state() != QProcess::NotRunning) {
    FProcess->kill();
    FProcess->waitForFinished(2000);
  }
}

void TEngineProcess::Start(const QString &program, const QStringList &arguments) {
  FProgram = program;
  if (program.isEmpty()) {
    FClient->Ended(TFault::NotStarted, "no engine command");
    return;
  }
  FProcess->start(program, arguments);
  // A missing program fails at once; a found one is running within moments.
  if (!FProcess->waitForStarted(10000) && !FClient->Broken())
    FClient->Ended(TFault::NotStarted, FProcess->errorString().toStdString());
}

void TEngineProcess::Write(const std::string &bytes) {
  if (FProcess->state() != QProcess::Running) return;  // the end is reported by the signals
  FProcess->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void TEngineProcess::StartTimer(int milliseconds) { FTimer->start(milliseconds); }

void TEngineProcess::StopTimer() { FTimer->stop(); }

void TEngineProcess::Kill() {
  FTimer->stop();
  if (FProcess->state() == QProcess::NotRunning) return;
  FProcess->disconnect(this);
  FProcess->kill();
  FProcess->waitForFinished(2000);
}

}  // namespace miretoka::versus
