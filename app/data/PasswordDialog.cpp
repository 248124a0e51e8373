#include "app/data/PasswordDialog.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "query/dataset/KuraSession.h"

namespace miretoka {

TKuraPasswordDialog::TKuraPasswordDialog(kura::TKuraSession &session, QWidget *parent)
    : QDialog(parent), FSession(session) {
  setObjectName(QStringLiteral("KuraPasswordDialog"));
  setWindowTitle(QStringLiteral("Enter password"));
  setModal(true);
  // A dialog border: fixed size, no resizing, no help button.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(273, 132);

  FGroup = new QGroupBox(QStringLiteral("Password"), this);
  FGroup->setObjectName(QStringLiteral("GroupBox1"));
  FGroup->setGeometry(8, 8, 257, 81);

  FEdit = new QLineEdit(FGroup);
  FEdit->setObjectName(QStringLiteral("Edit1"));
  FEdit->setGeometry(16, 18, 225, 21);
  FEdit->setEchoMode(QLineEdit::Password);
  // Typed characters show as "*".
  FEdit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));

  auto button = [](QWidget *parent, const char *name, const QString &caption, int x, int y, int w, int h) {
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, h);
    b->setAutoDefault(false);
    return b;
  };
  FAddButton = button(FGroup, "AddButton", QStringLiteral("&Add"), 16, 46, 65, 25);
  FRemoveButton = button(FGroup, "RemoveButton", QStringLiteral("&Remove"), 88, 46, 65, 25);
  FRemoveAllButton = button(FGroup, "RemoveAllButton", QStringLiteral("Re&move all"), 160, 46, 81, 25);
  FOkButton = button(this, "OKButton", QStringLiteral("&OK"), 109, 98, 75, 25);
  FCancelButton = button(this, "CancelButton", QStringLiteral("Cancel"), 190, 98, 75, 25);
  // OK is the default button (Enter); Escape closes the dialog as Cancel does.
  FOkButton->setDefault(true);
  FAddButton->setEnabled(false);
  FRemoveButton->setEnabled(false);
  FOkButton->setEnabled(false);

  connect(FEdit, &QLineEdit::textChanged, this, &TKuraPasswordDialog::EditChanged);
  connect(FAddButton, &QPushButton::clicked, this, &TKuraPasswordDialog::AddClick);
  connect(FRemoveButton, &QPushButton::clicked, this, &TKuraPasswordDialog::RemoveClick);
  connect(FRemoveAllButton, &QPushButton::clicked, this, &TKuraPasswordDialog::RemoveAllClick);
  connect(FOkButton, &QPushButton::clicked, this, &TKuraPasswordDialog::OkClick);
  connect(FCancelButton, &QPushButton::clicked, this, &QDialog::reject);

  setTabOrder(FEdit, FAddButton);
  setTabOrder(FAddButton, FRemoveButton);
  setTabOrder(FRemoveButton, FRemoveAllButton);
  setTabOrder(FRemoveAllButton, FOkButton);
  setTabOrder(FOkButton, FCancelButton);
  FEdit->setFocus();
}

void TKuraPasswordDialog::showEvent(QShowEvent *event) {
  // Centred on the screen.
  if (QScreen *s = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
  }
  QDialog::showEvent(event);
  FEdit->setFocus();
}

void TKuraPasswordDialog::UpdateButtons() {
  const bool hasText = !FEdit->text().isEmpty();
  FAddButton->setEnabled(hasText);
  FRemoveButton->setEnabled(hasText);
  FOkButton->setEnabled(hasText || FAdded);
}

void TKuraPasswordDialog::EditChanged(const QString &) { UpdateButtons(); }

void TKuraPasswordDialog::AddClick() {
  FSession.AddPassword(FEdit->text().toStdString());
  FAdded = true;
  FEdit->clear();
  UpdateButtons();
  FEdit->setFocus();
}

void TKuraPasswordDialog::RemoveClick() {
  FSession.RemovePassword(FEdit->text().toStdString());
  FEdit->clear();
  FEdit->setFocus();
}

void TKuraPasswordDialog::RemoveAllClick() {
  FSession.RemoveAllPasswords();
  FEdit->setFocus();
}

void TKuraPasswordDialog::OkClick() {
  // An empty text (OK after "&Add") adds nothing.
  FSession.AddPassword(FEdit->text().toStdString());
  accept();
}

bool ShowPasswordDialog(kura::TKuraSession &session) {
  TKuraPasswordDialog dialog(session, QApplication::activeWindow());
  return dialog.exec() == QDialog::Accepted;
}

void InstallPasswordDialog(kura::TKuraSession &session) {
  session.OnPassword = [](kura::TKuraSession &s, bool &cont) { cont = ShowPasswordDialog(s); };
}

}  // namespace miretoka
