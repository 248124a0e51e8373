// The help window as the program opens it: contents, topics by number, links, history,
// and the error report when the file cannot be shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

#include "LessonContentsFile.h"
#include "app/help/HelpViewer.h"
#include "app/help/HelpWindow.h"

using miretoka::CurrentHelpWindow;
using miretoka::HelpWindow;

namespace {
const QByteArray kLessonHelp =
    "MIRETOKA-HELP 1\n"
    "@topic contents - 目次\n"
    "<p>ミレトカの使い方</p>\n"
    "<p><a href=\"topic:board\">碁盤と石</a></p>\n"
    "<!--lesson-list-->\n"
    "@topic board - 碁盤と石\n"
    "<p>石は線の交わる点に置きます。</p>\n"
    "<p><a href=\"context:1110\">取り方へ</a> <a href=\"topic:gone\">消えたページ</a></p>\n"
    "@topic lesson-1110 1110 石の取り方\n"
    "<p>呼吸点をふさぐと取れます。</p>\n";

QString ShippedHelpPath() { return QStringLiteral(MIRETOKA_BIN_DIR "/") + QStringLiteral("ミレトカ.hlp"); }

class HelpWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    path_ = dir_.filePath(QStringLiteral("ミレトカ.hlp"));
    ASSERT_TRUE(Write(path_, kLessonHelp));
    previous_ = miretoka::SetHelpErrorReporter([this](QWidget *parent, const QString &message) {
      reports_ << message;
      parents_ << parent;
    });
  }
  void TearDown() override {
    miretoka::SetHelpErrorReporter(previous_);
    if (HelpWindow *w = CurrentHelpWindow()) delete w;
    ASSERT_EQ(CurrentHelpWindow(), nullptr);
  }
  static bool Write(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
  }
  static QString Shown() { return CurrentHelpWindow()->browser()->toPlainText(); }

  QTemporaryDir dir_;
  QString path_;
  QStringList reports_;
  QList<QWidget *> parents_;
  miretoka::HelpErrorReporter previous_;
};
}  // namespace

TEST_F(HelpWindowTest, ContentsOpenInANonModalWindowTitledForTheProgram) {
  miretoka::ShowHelpContents(nullptr, ShippedHelpPath());
  HelpWindow *w = CurrentHelpWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(reports_.isEmpty()) << reports_.join("\n").toStdString();
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(w->isModal());
  EXPECT_EQ(w->windowModality(), Qt::NonModal);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("ミレトカ ヘルプ"));
  EXPECT_EQ(w->currentTopicName(), "contents");
  EXPECT_TRUE(Shown().startsWith(QStringLiteral("目次"))) << Shown().toStdString();
  EXPECT_TRUE(Shown().contains(QStringLiteral("碁盤と石")));
  EXPECT_TRUE(Shown().contains(QStringLiteral("問題に答える")));
}

TEST_F(HelpWindowTest, TopicByContextNumberShowsTheLessonTopic) {
  QWidget owner;
  miretoka::ShowHelpTopic(&owner, path_, 1110);
  HelpWindow *w = CurrentHelpWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isWindow());  // its own window even with an owner
  EXPECT_EQ(w->currentTopicName(), "lesson-1110");
  EXPECT_TRUE(w->currentNote().isEmpty());
  EXPECT_TRUE(Shown().contains(QStringLiteral("石の取り方")));
  EXPECT_TRUE(Shown().contains(QStringLiteral("呼吸点をふさぐと取れます。")));
  EXPECT_TRUE(Shown().contains(QStringLiteral("目次へ戻る")));
}

TEST_F(HelpWindowTest, ShippedFileShowsTheFirstLessonsTopicByItsNumber) {
  // The title comes from the lesson contents, as the learner sees it in the list.
  QString error;
  const auto rows = miretoka_test::ReadLessonContents(miretoka_test::SourceLessonContentsPath(), &error);
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  QString item;
  for (const auto &row : rows)
    if (row.mnb == 1110) item = row.item;
  ASSERT_FALSE(item.isEmpty()) << "the contents has no lesson 1110";

  miretoka::ShowHelpTopic(nullptr, ShippedHelpPath(), 1110);
  HelpWindow *w = CurrentHelpWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(reports_.isEmpty()) << reports_.join("\n").toStdString();
  EXPECT_EQ(w->currentTopicName(), "lesson-1110");
  EXPECT_TRUE(w->currentNote().isEmpty()) << w->currentNote().toStdString();
  EXPECT_TRUE(Shown().startsWith(item)) << Shown().toStdString();
  EXPECT_TRUE(Shown().contains(QStringLiteral("1手進む")));
}

TEST_F(HelpWindowTest, UnknownContextNumberShowsContentsWithANote) {
  miretoka::ShowHelpTopic(nullptr, path_, 4321);
  HelpWindow *w = CurrentHelpWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(reports_.isEmpty());
  EXPECT_EQ(w->currentTopicName(), "contents");
  EXPECT_TRUE(Shown().contains(QStringLiteral("4321")));
  EXPECT_TRUE(Shown().contains(QStringLiteral("ミレトカの使い方")));
}

TEST_F(HelpWindowTest, ContentsListsLessonTopicsByThemselves) {
  miretoka::ShowHelpContents(nullptr, path_);
  ASSERT_NE(CurrentHelpWindow(), nullptr);
  EXPECT_TRUE(Shown().contains(QStringLiteral("石の取り方")));
}

TEST_F(HelpWindowTest, OneWindowServesEveryRequest) {
  miretoka::ShowHelpContents(nullptr, path_);
  HelpWindow *first = CurrentHelpWindow();
  miretoka::ShowHelpTopic(nullptr, path_, 1110);
  EXPECT_EQ(CurrentHelpWindow(), first);
  EXPECT_EQ(first->currentTopicName(), "lesson-1110");
  int windows = 0;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (qobject_cast<HelpWindow *>(w)) ++windows;
  EXPECT_EQ(windows, 1);
}

TEST_F(HelpWindowTest, ClickedLinksMoveBetweenTopicsAndBackAndContentsReturn) {
  miretoka::ShowHelpContents(nullptr, path_);
  HelpWindow *w = CurrentHelpWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(w->backButton()->isEnabled());

  emit w->browser()->anchorClicked(QUrl(QStringLiteral("topic:board")));
  EXPECT_EQ(w->currentTopicName(), "board");
  EXPECT_TRUE(Shown().contains(QStringLiteral("石は線の交わる点に置きます。")));
  emit w->browser()->anchorClicked(QUrl(QStringLiteral("context:1110")));
  EXPECT_EQ(w->currentTopicName(), "lesson-1110");

  ASSERT_TRUE(w->backButton()->isEnabled());
  w->backButton()->click();
  EXPECT_EQ(w->currentTopicName(), "board");
  w->backButton()->click();
  EXPECT_EQ(w->currentTopicName(), "contents");
  EXPECT_FALSE(w->backButton()->isEnabled());

  emit w->browser()->anchorClicked(QUrl(QStringLiteral("topic:board")));
  w->contentsButton()->click();
  EXPECT_EQ(w->currentTopicName(), "contents");
  emit w->browser()->anchorClicked(QUrl(QStringLiteral("topic:contents")));
  EXPECT_EQ(w->currentTopicName(), "contents");
}

TEST_F(HelpWindowTest, BrokenLinkShowsContentsWithANote) {
  miretoka::ShowHelpTopic(nullptr, path_, 1110);
  HelpWindow *w = CurrentHelpWindow();
  ASSERT_NE(w, nullptr);
  w->followLink(QStringLiteral("topic:gone"));
  EXPECT_EQ(w->currentTopicName(), "contents");
  EXPECT_TRUE(Shown().contains(QStringLiteral("topic:gone")));
}

TEST_F(HelpWindowTest, MissingFileIsReportedAndNoWindowOpens) {
  QWidget owner;
  const QString missing = dir_.filePath(QStringLiteral("なし.hlp"));
  miretoka::ShowHelpContents(&owner, missing);
  EXPECT_EQ(CurrentHelpWindow(), nullptr);
  ASSERT_EQ(reports_.size(), 1);
  EXPECT_TRUE(reports_[0].contains(missing));
  EXPECT_TRUE(reports_[0].contains(QStringLiteral("見つかりません")));
  EXPECT_EQ(parents_[0], &owner);

  miretoka::ShowHelpTopic(&owner, missing, 1110);
  EXPECT_EQ(CurrentHelpWindow(), nullptr);
  EXPECT_EQ(reports_.size(), 2);
}

TEST_F(HelpWindowTest, FileBrokenWhileTheWindowIsOpenIsReportedAndTheWindowStays) {
  miretoka::ShowHelpTopic(nullptr, path_, 1110);
  HelpWindow *w = CurrentHelpWindow();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(Write(path_, "MIRETOKA-HELP 1\n@topic contents 0 目次\n"));
  miretoka::ShowHelpContents(nullptr, path_);
  ASSERT_EQ(reports_.size(), 1);
  EXPECT_TRUE(reports_[0].contains(QStringLiteral("2 行目"))) << reports_[0].toStdString();
  EXPECT_EQ(CurrentHelpWindow(), w);
  EXPECT_EQ(w->currentTopicName(), "lesson-1110");
  // Its links still work on the file it was showing.
  w->followLink(QStringLiteral("topic:board"));
  EXPECT_EQ(w->currentTopicName(), "board");
}

TEST_F(HelpWindowTest, FileChangedWhileTheProgramRunsIsShownAsItIsNow) {
  miretoka::ShowHelpTopic(nullptr, path_, 2100);
  EXPECT_EQ(CurrentHelpWindow()->currentTopicName(), "contents");
  ASSERT_TRUE(Write(path_, kLessonHelp + "@topic lesson-2100 2100 石のつながり\n<p>つながった石</p>\n"));
  miretoka::ShowHelpTopic(nullptr, path_, 2100);
  EXPECT_EQ(CurrentHelpWindow()->currentTopicName(), "lesson-2100");
  EXPECT_TRUE(Shown().contains(QStringLiteral("つながった石")));
}

TEST_F(HelpWindowTest, ClosedWindowIsDestroyedAndOpensAgain) {
  miretoka::ShowHelpContents(nullptr, path_);
  ASSERT_NE(CurrentHelpWindow(), nullptr);
  CurrentHelpWindow()->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(CurrentHelpWindow(), nullptr);
  miretoka::ShowHelpTopic(nullptr, path_, 1110);
  ASSERT_NE(CurrentHelpWindow(), nullptr);
  EXPECT_EQ(CurrentHelpWindow()->currentTopicName(), "lesson-1110");
}

TEST_F(HelpWindowTest, DefaultReportShowsAnErrorBoxAndTheProgramGoesOn) {
  miretoka::SetHelpErrorReporter({});  // the box a user would see
  QString boxText;
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  // The box is modal; close it from the event loop it runs, as a user would.
  QTimer closer;
  closer.setInterval(10);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    for (QWidget *w : QApplication::topLevelWidgets()) {
      if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
        boxText = box->text();
        boxIcon = box->icon();
        box->accept();
      }
    }
  });
  closer.start();
  const QString missing = dir_.filePath(QStringLiteral("なし.hlp"));
  miretoka::ShowHelpContents(nullptr, missing);
  closer.stop();
  EXPECT_TRUE(boxText.contains(missing)) << boxText.toStdString();
  EXPECT_EQ(boxIcon, QMessageBox::Critical);
  EXPECT_EQ(CurrentHelpWindow(), nullptr);
}

TEST_F(HelpWindowTest, MouseClickOnALinkOpensItsTopic) {
  miretoka::ShowHelpContents(nullptr, path_);
  HelpWindow *w = CurrentHelpWindow();
  ASSERT_NE(w, nullptr);
  w->resize(600, 560);
  QTextBrowser *browser = w->browser();
  const QTextCursor link = browser->document()->find(QStringLiteral("碁盤と石"));
  ASSERT_FALSE(link.isNull());
  QTextCursor inside(browser->document());
  inside.setPosition(link.selectionStart() + 1);
  const QPoint at = browser->cursorRect(inside).center();
  QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_EQ(w->currentTopicName(), "board");
  EXPECT_TRUE(Shown().contains(QStringLiteral("石は線の交わる点に置きます。")));
}

TEST_F(HelpWindowTest, OnlyTheMenuRequestTakesTheFocus) {
  // A lesson's page must not pull the keyboard focus away from the board.
  miretoka::ShowHelpTopic(nullptr, path_, 1110);
  ASSERT_NE(CurrentHelpWindow(), nullptr);
  EXPECT_TRUE(CurrentHelpWindow()->isVisible());
  EXPECT_TRUE(CurrentHelpWindow()->testAttribute(Qt::WA_ShowWithoutActivating));
  miretoka::ShowHelpContents(nullptr, path_);
  EXPECT_FALSE(CurrentHelpWindow()->testAttribute(Qt::WA_ShowWithoutActivating));
}
