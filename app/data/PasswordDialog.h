#pragma once
// TKuraPasswordDialog: the "Enter password" dialog through which the user gives the
// passwords of encrypted tables to a session. The program installs it as the default
// session's password request (InstallPasswordDialog): when a table needs a password the
// session does not hold, the dialog is shown; OK (after the password went into the session's
// list) makes the engine try again, Cancel ends the open with the engine's "insufficient
// rights" error.
#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace kura {
class TKuraSession;
}

namespace miretoka {

class TKuraPasswordDialog : public QDialog {
  Q_OBJECT
public:
  explicit TKuraPasswordDialog(kura::TKuraSession &session, QWidget *parent = nullptr);

  QLineEdit *Edit() const { return FEdit; }
  QPushButton *AddButton() const { return FAddButton; }
  QPushButton *RemoveButton() const { return FRemoveButton; }
  QPushButton *RemoveAllButton() const { return FRemoveAllButton; }
  QPushButton *OkButton() const { return FOkButton; }
  QPushButton *CancelButton() const { return FCancelButton; }

protected:
  void showEvent(QShowEvent *event) override;

private:
  void EditChanged(const QString &text);
  void AddClick();
  void RemoveClick();
  void RemoveAllClick();
  void OkClick();
  void UpdateButtons();

  kura::TKuraSession &FSession;
  bool FAdded = false;  // a password was added with "&Add" in this dialog
  QGroupBox *FGroup = nullptr;
  QLineEdit *FEdit = nullptr;
  QPushButton *FAddButton = nullptr;
  QPushButton *FRemoveButton = nullptr;
  QPushButton *FRemoveAllButton = nullptr;
  QPushButton *FOkButton = nullptr;
  QPushButton *FCancelButton = nullptr;
};

// Shows the dialog modally for the session; true when it was closed with OK.
bool ShowPasswordDialog(kura::TKuraSession &session);
// Makes the dialog the session's password request (its OnPassword handler).
void InstallPasswordDialog(kura::TKuraSession &session);

}  // namespace miretoka
