// The "Enter password" dialog: its layout and buttons, and the program's password request
// when a query opens an encrypted table (the dialog driven by a timer, as a user would).
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/data/PasswordDialog.h"
#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "query/dataset/KuraDatabase.h"
#include "query/dataset/KuraQuery.h"
#include "query/dataset/KuraSession.h"

namespace miretoka::test {
namespace {

using kura::Session;

class PasswordDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "miretoka-password-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FDir = pattern;
    FOldDir = std::filesystem::current_path();
    std::filesystem::current_path(FDir);
    std::filesystem::create_directory("kyozai");
    Session().PrivateDir = FDir.string();
    Session().RemoveAllPasswords();
  }
  void TearDown() override {
    Session().OnPassword = nullptr;
    Session().RemoveAllPasswords();
    Session().Close();
    Session().PrivateDir.clear();
    std::filesystem::current_path(FOldDir);
    std::error_code ignored;
    std::filesystem::remove_all(FDir, ignored);
  }

  // An encrypted table "secret" with the password "kagi" and one row.
  static void CreateEncryptedTable() {
    kura::TKuraDatabase &db = Session().OpenDatabase("kyozai");
    db.Open();
    kura::TDataFileDefinition def;
    kura::TFieldDescriptor id;
    id.Name = "ID";
    id.Type = kura::EngineFieldType::Integer;
    kura::TFieldDescriptor text;
    text.Name = "TXT";
    text.Type = kura::EngineFieldType::String;
    text.DeclaredSize = 20;
    def.Fields = {id, text};
    def.Encrypted = true;
    def.Password = "kagi";
    kura::TDataCursor c(&db.Handle(), "secret");
    c.CreateTable(def, {});
    // The creator needs the password to write the row too.
    c.PasswordCallback = [] { return false; };
    Session().AddPassword("kagi");
    c.OpenCursor();
    std::vector<uint8_t> rec = c.NewRecordBuffer();
    c.InitRecord(rec.data());
    c.SetInteger(1, rec.data(), 7);
    c.SetString(2, rec.data(), "hidden row");
    c.AppendRecord(rec.data(), false);
    c.CloseCursor();
    Session().RemoveAllPasswords();
    db.Close();
  }

  static void OpenSecret(kura::TKuraQuery &q) {
    q.SetDatabaseName("kyozai");
    q.SetRequestLive(true);
    q.SQL().Add("select * from secret");
    q.Open();
  }

  // Answers the next password dialogs: each answer types its text and presses OK, or, for an
  // empty answer, presses Cancel. Records how many dialogs appeared.
  void Answer(std::vector<QString> answers) {
    FAnswers = std::move(answers);
    FAsked = 0;
    ScheduleAnswer();
  }
  void ScheduleAnswer() {
    QTimer::singleShot(0, [this] {
      auto *dialog = qobject_cast<TKuraPasswordDialog *>(QApplication::activeModalWidget());
      if (!dialog) {
        ScheduleAnswer();  // not shown yet
        return;
      }
      const QString answer = FAsked < static_cast<int>(FAnswers.size()) ? FAnswers[FAsked] : QString();
      ++FAsked;
      FFocusedEdit = FFocusedEdit && dialog->focusWidget() == dialog->Edit();
      if (answer.isEmpty()) {
        QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
      } else {
        QTest::keyClicks(dialog->Edit(), answer);
        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
      }
      if (FAsked < static_cast<int>(FAnswers.size())) ScheduleAnswer();
    });
  }

  std::filesystem::path FDir, FOldDir;
  std::vector<QString> FAnswers;
  int FAsked = 0;
  bool FFocusedEdit = true;
};

TEST_F(PasswordDialogTest, LayoutCaptionsAndInitialButtons) {
  TKuraPasswordDialog dialog(Session());
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Enter password"));
  EXPECT_TRUE(dialog.isModal());
  EXPECT_EQ(dialog.size(), QSize(273, 132));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "a dialog border: no resizing";
  auto *group = dialog.findChild<QGroupBox *>();
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->title(), QStringLiteral("Password"));
  EXPECT_EQ(group->geometry(), QRect(8, 8, 257, 81));
  EXPECT_EQ(dialog.Edit()->parentWidget(), group);
  EXPECT_EQ(dialog.Edit()->geometry(), QRect(16, 18, 225, 21));
  EXPECT_EQ(dialog.Edit()->echoMode(), QLineEdit::Password);
  EXPECT_EQ(dialog.Edit()->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, dialog.Edit()), '*')
      << "typed characters show as \"*\"";
  struct B {
    QPushButton *button;
    QString caption;
    QRect geometry;
    QWidget *parent;
    bool enabled;
  };
  for (const B &b : {B{dialog.AddButton(), "&Add", QRect(16, 46, 65, 25), group, false},
                     B{dialog.RemoveButton(), "&Remove", QRect(88, 46, 65, 25), group, false},
                     B{dialog.RemoveAllButton(), "Re&move all", QRect(160, 46, 81, 25), group, true},
                     B{dialog.OkButton(), "&OK", QRect(109, 98, 75, 25), &dialog, false},
                     B{dialog.CancelButton(), "Cancel", QRect(190, 98, 75, 25), &dialog, true}}) {
    EXPECT_EQ(b.button->text(), b.caption);
    EXPECT_EQ(b.button->geometry(), b.geometry) << b.caption.toStdString();
    EXPECT_EQ(b.button->parentWidget(), b.parent) << b.caption.toStdString();
    EXPECT_EQ(b.button->isEnabled(), b.enabled) << b.caption.toStdString();
  }
  EXPECT_TRUE(dialog.OkButton()->isDefault());
  EXPECT_FALSE(dialog.CancelButton()->isDefault());
  EXPECT_EQ(dialog.focusWidget(), dialog.Edit());
}

TEST_F(PasswordDialogTest, ButtonsFollowTheTextAndTheList) {
  TKuraPasswordDialog dialog(Session());
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QTest::keyClicks(dialog.Edit(), QStringLiteral("one"));
  EXPECT_TRUE(dialog.AddButton()->isEnabled());
  EXPECT_TRUE(dialog.RemoveButton()->isEnabled());
  EXPECT_TRUE(dialog.OkButton()->isEnabled());
  QTest::keyClick(dialog.Edit(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(dialog.Edit(), Qt::Key_Backspace);
  EXPECT_FALSE(dialog.OkButton()->isEnabled()) << "an empty text and nothing added";
  EXPECT_FALSE(dialog.AddButton()->isEnabled());
  // Enter with OK disabled does not close the dialog.
  QTest::keyClick(dialog.Edit(), Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());

  QTest::keyClicks(dialog.Edit(), QStringLiteral("two"));
  QTest::mouseClick(dialog.AddButton(), Qt::LeftButton);
  EXPECT_TRUE(dialog.Edit()->text().isEmpty()) << "Add empties the edit field";
  EXPECT_EQ(dialog.focusWidget(), dialog.Edit());
  EXPECT_TRUE(dialog.OkButton()->isEnabled()) << "a password was added in this dialog";
  EXPECT_FALSE(dialog.AddButton()->isEnabled());

  // Remove takes a password out of the session's list again.
  QTest::keyClicks(dialog.Edit(), QStringLiteral("two"));
  QTest::mouseClick(dialog.RemoveButton(), Qt::LeftButton);
  EXPECT_TRUE(dialog.Edit()->text().isEmpty());
  EXPECT_TRUE(dialog.OkButton()->isEnabled());
  CreateEncryptedTable();
  QTest::keyClicks(dialog.Edit(), QStringLiteral("kagi"));
  QTest::mouseClick(dialog.AddButton(), Qt::LeftButton);
  {
    kura::TKuraQuery q;
    Session().OnPassword = [](kura::TKuraSession &, bool &cont) { cont = false; };
    OpenSecret(q);  // the added password is in the session's list
    EXPECT_EQ(q.FieldByName("TXT").AsString(), "hidden row");
  }
  QTest::mouseClick(dialog.RemoveAllButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.focusWidget(), dialog.Edit());
  {
    kura::TKuraQuery q;
    EXPECT_THROW(OpenSecret(q), std::exception) << "Remove all emptied the list";
  }

  // Enter presses the default button OK, which closes the dialog accepted.
  QSignalSpy accepted(&dialog, &QDialog::accepted);
  QTest::keyClicks(dialog.Edit(), QStringLiteral("x"));
  QTest::keyClick(dialog.Edit(), Qt::Key_Return);
  EXPECT_EQ(accepted.count(), 1);
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(PasswordDialogTest, EscapeCancels) {
  TKuraPasswordDialog dialog(Session());
  QSignalSpy rejected(&dialog, &QDialog::rejected);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QTest::keyClicks(dialog.Edit(), QStringLiteral("abc"));
  QTest::keyClick(dialog.Edit(), Qt::Key_Escape);
  EXPECT_EQ(rejected.count(), 1);
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(PasswordDialogTest, EncryptedTableOpensWithThePasswordTypedIntoTheDialog) {
  CreateEncryptedTable();
  InstallPasswordDialog(Session());
  Answer({QStringLiteral("kagi")});
  kura::TKuraQuery q;
  OpenSecret(q);
  EXPECT_EQ(FAsked, 1);
  EXPECT_TRUE(FFocusedEdit) << "the edit field has the focus when the dialog appears";
  ASSERT_TRUE(q.Active());
  EXPECT_EQ(q.FieldByName("ID").AsInteger(), 7);
  EXPECT_EQ(q.FieldByName("TXT").AsString(), "hidden row");
  // The session keeps the password: another open asks nothing.
  kura::TKuraQuery again;
  FAsked = 0;
  OpenSecret(again);
  EXPECT_EQ(FAsked, 0);
  EXPECT_TRUE(again.Active());
}

TEST_F(PasswordDialogTest, AWrongPasswordAsksAgain) {
  CreateEncryptedTable();
  InstallPasswordDialog(Session());
  Answer({QStringLiteral("falsch"), QStringLiteral("kagi")});
  kura::TKuraQuery q;
  OpenSecret(q);
  EXPECT_EQ(FAsked, 2);
  EXPECT_TRUE(q.Active());
}

TEST_F(PasswordDialogTest, CancelEndsTheOpenWithTheEnginesError) {
  CreateEncryptedTable();
  InstallPasswordDialog(Session());
  Answer({QString()});
  kura::TKuraQuery q;
  std::string message;
  uint16_t code = 0;
  try {
    OpenSecret(q);
  } catch (const std::exception &e) {
    message = e.what();
    code = kura::ErrorCodeOf(e);
  }
  EXPECT_EQ(FAsked, 1);
  EXPECT_EQ(code, kura::KURA_NOTSUFFTABLERIGHTS);
  EXPECT_NE(message.find("Insufficient rights to the table 'secret', a password is required"), std::string::npos)
      << message;
  EXPECT_FALSE(q.Active());
}

}  // namespace
}  // namespace miretoka::test
