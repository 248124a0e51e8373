#pragma once
// Message boxes of the board windows behind one seam, so that tests can answer
// them instead of a person (a modal box would wait for ever in a test run).
#include <QString>
#include <memory>
#include <stdexcept>

class QWidget;

namespace miretoka {

// Answer of a Yes/No confirmation.
enum class TAnswer { Yes, No };

class IErrorReporter {
public:
  virtual ~IErrorReporter() = default;
  // An error box: a failure that ended the running action.
  virtual void ShowError(QWidget *parent, const QString &text) = 0;
  // An information box with one OK button.
  virtual void ShowInformation(QWidget *parent, const QString &text) = 0;
  // A confirmation box (question icon, Yes and No).
  virtual TAnswer AskYesNo(QWidget *parent, const QString &text) = 0;
};

// Message boxes on the screen.
class TMessageBoxReporter : public IErrorReporter {
public:
  void ShowError(QWidget *parent, const QString &text) override;
  void ShowInformation(QWidget *parent, const QString &text) override;
  TAnswer AskYesNo(QWidget *parent, const QString &text) override;
};

// The reporter in use; message boxes on the screen unless replaced.
IErrorReporter &Reporter();
// Replaces the reporter (nullptr restores the message boxes).
void SetReporter(std::unique_ptr<IErrorReporter> reporter);

// A failure of the picture or sound layer. A handler that meets one stops,
// and the window shows its message in an error box; the program goes on.
class EMediaError : public std::runtime_error {
public:
  explicit EMediaError(const QString &message);
  QString Message() const;
};

// Runs one event handler to its end; a failure it raises ends the handler and
// is shown through the reporter, as the event loop of a window would.
template <class F>
void RunHandler(QWidget *window, F &&handler) {
  try {
    handler();
  } catch (const std::exception &e) {
    Reporter().ShowError(window, QString::fromUtf8(e.what()));
  } catch (...) {
    Reporter().ShowError(window, QStringLiteral("予期しないエラーが発生しました。"));
  }
}

}  // namespace miretoka
