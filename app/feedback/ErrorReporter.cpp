#include "app/feedback/ErrorReporter.h"

#include <QApplication>
#include <QMessageBox>

namespace miretoka {

namespace {
std::unique_ptr<IErrorReporter> &Current() {
  static std::unique_ptr<IErrorReporter> reporter = std::make_unique<TMessageBoxReporter>();
  return reporter;
}
QString Title() {
  const QString t = QApplication::applicationDisplayName();
  return t.isEmpty() ? QStringLiteral("ミレトカ") : t;
}
}  // namespace

void TMessageBoxReporter::ShowError(QWidget *parent, const QString &text) {
  QMessageBox::critical(parent, Title(), text);
}

void TMessageBoxReporter::ShowInformation(QWidget *parent, const QString &text) {
  QMessageBox::information(parent, Title(), text);
}

TAnswer TMessageBoxReporter::AskYesNo(QWidget *parent, const QString &text) {
  const auto r = QMessageBox::question(parent, Title(), text, QMessageBox::Yes | QMessageBox::No);
  return r == QMessageBox::No ? TAnswer::No : TAnswer::Yes;
}

IErrorReporter &Reporter() { return *Current(); }

void SetReporter(std::unique_ptr<IErrorReporter> reporter) {
  Current() = reporter ? std::move(reporter) : std::make_unique<TMessageBoxReporter>();
}

EMediaError::EMediaError(const QString &message) : std::runtime_error(message.toStdString()) {}

QString EMediaError::Message() const { return QString::fromUtf8(what()); }

}  // namespace miretoka
