// The main window after start-up: its frame, captions, menus, status bar,
// clock, fonts, version box, quit confirmation and help.
#include <QAction>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>

#include "app/board/SavedGame.h"
#include "BoardTestSupport.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"
#include "controls/CuteButton.h"

namespace miretoka::test {
namespace {

using namespace play;

TEST_F(BoardTest, FreshStartShowsEmptyBoardInFreeMode) {
  EXPECT_EQ(Form->windowTitle(), QStringLiteral("ミレトカ"));
  EXPECT_TRUE(Form->RadioButton2()->isChecked());
  EXPECT_FALSE(Form->RadioButton1()->isChecked());
  EXPECT_EQ(PlayMode, PlayFree);
  EXPECT_EQ(BoardSize, 19);
  EXPECT_EQ(PointCount, 361);
  EXPECT_EQ(LessonMode, 1);
  EXPECT_EQ(CurrentFigure, 1000);  // the first lesson of the test's kyozai
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  EXPECT_EQ(Edit2(), QStringLiteral("0"));
  for (int k = 1; k <= 361; ++k) {
    ASSERT_EQ(Cell(k), 0) << k;
    ASSERT_FALSE(HasStone(k)) << k;
    ASSERT_EQ(Text(k), QStringLiteral(" ")) << k;
  }
  EXPECT_FALSE(Form->CuteButton(1)->isVisible());
  EXPECT_EQ(Form->palette().color(QPalette::Window), QColor(240, 240, 255));
  EXPECT_EQ(Form->GroupBox1()->palette().color(QPalette::Window), QColor(250, 235, 235));
}

TEST_F(BoardTest, ClockIsInPanelTwoAtOnceAndTicksEverySecond) {
  static const QRegularExpression clock(QStringLiteral("^\\d\\d/\\d\\d  \\d\\d:\\d\\d (AM|PM)$"));
  EXPECT_TRUE(clock.match(Panel(2)).hasMatch()) << Panel(2).toStdString();
  EXPECT_EQ(Form->Timer1()->interval(), 1000);
  EXPECT_TRUE(Form->Timer1()->isActive());
  Form->StatusBar1()->SetPanelText(2, QString());
  emit Form->Timer1()->timeout({});
  EXPECT_TRUE(clock.match(Panel(2)).hasMatch());
}

TEST_F(BoardTest, StatusBarHasThreePanelsInBoldNavy) {
  TStatusPanels *bar = Form->StatusBar1();
  ASSERT_EQ(bar->PanelCount(), 3);
  EXPECT_EQ(bar->Panel(0)->width(), 300);
  EXPECT_EQ(bar->Panel(1)->width(), 300);
  EXPECT_GE(bar->Panel(2)->width(), 50);
  EXPECT_TRUE(bar->Panel(2)->alignment() & Qt::AlignHCenter);
  EXPECT_TRUE(bar->Panel(0)->alignment() & Qt::AlignLeft);
  EXPECT_TRUE(bar->Panel(0)->font().bold());
  EXPECT_EQ(bar->Panel(0)->palette().color(QPalette::WindowText), QColor(0, 0, 128));
}

TEST_F(BoardTest, JapaneseCaptionsUseAnInstalledGothicFont) {
  const QFontInfo info(Form->Label(1)->font());
  EXPECT_TRUE(info.family().contains(QStringLiteral("IPA")) || info.family().contains(QStringLiteral("Noto")))
      << info.family().toStdString();
  EXPECT_EQ(Form->Label(1)->font().pixelSize(), 12);
  // Every caption of the window can be drawn with that font: no empty boxes.
  const QFontMetrics fm(Form->font());
  for (const QString &text : {QStringLiteral("アゲ石：黒番白番交互自由終局"), QStringLiteral("1手戻す1手進むクリア元に戻す"),
                              QStringLiteral("碁盤選択１９路盤１３路盤９路盤五目並べ終了打ち掛け保存復元地の計算ヘルプ"),
                              QStringLiteral("オンラインヘルプバージョン情報始めてください。もう戻せません。盤面：目、です")})
    for (QChar ch : text) ASSERT_TRUE(fm.inFont(ch)) << QString(ch).toStdString();
}

TEST_F(BoardTest, MenuBarHasEveryItemWithItsCaption) {
  const std::vector<std::pair<const char *, QString>> items = {
      {"N3", QStringLiteral("碁盤選択")},       {"N10", QStringLiteral("１９路盤")},
      {"N4", QStringLiteral("１３路盤")},       {"N5", QStringLiteral("９路盤")},
      {"N7", QStringLiteral("五目並べ")},       {"N8", QStringLiteral("五目並べ終了")},
      {"N1", QStringLiteral("打ち掛け")},       {"Save1", QStringLiteral("保存")},
      {"N2", QStringLiteral("復元")},           {"N9", QStringLiteral("地の計算")},
      {"N6", QStringLiteral("ヘルプ")},         {"ALLHelp", QStringLiteral("オンラインヘルプ")},
      {"VInfo", QStringLiteral("バージョン情報")}, {"APEnd", QStringLiteral("終了")}};
  for (const auto &[name, caption] : items) {
    QAction *a = Form->MenuItem(QString::fromLatin1(name));
    ASSERT_NE(a, nullptr) << name;
    EXPECT_EQ(a->text(), caption) << name;
  }
  EXPECT_EQ(Form->MenuItem(QStringLiteral("N3"))->menu()->actions().size(), 5);
}

TEST_F(BoardTest, CommandButtonsCarryTheirCaptions) {
  EXPECT_EQ(Form->CuteButton(7)->Caption(), QStringLiteral("1手戻す"));
  EXPECT_EQ(Form->CuteButton(5)->Caption(), QStringLiteral("1手進む"));
  EXPECT_EQ(Form->CuteButton(6)->Caption(), QStringLiteral("クリア"));
  EXPECT_EQ(Form->CuteButton(9)->Caption(), QStringLiteral("元に戻す"));
  EXPECT_EQ(Form->CuteButton(1)->Caption(), QStringLiteral("入門"));
  EXPECT_EQ(Form->CuteButton(7)->y(), 384);
  EXPECT_EQ(Form->CuteButton(6)->y(), 416);
}

TEST_F(BoardTest, LearnerLayoutAfterStartUp) {
  auto *combo1 = Form->findChild<QWidget *>(QStringLiteral("ComboBox1"));
  auto *combo2 = Form->findChild<QWidget *>(QStringLiteral("ComboBox2"));
  auto *grid = Form->findChild<QWidget *>(QStringLiteral("DBGrid1"));
  ASSERT_TRUE(combo1 && combo2 && grid);
  EXPECT_EQ(combo1->y(), 324);
  EXPECT_FALSE(combo1->isEnabled());
  EXPECT_EQ(combo2->y(), 324);
  EXPECT_FALSE(combo2->isEnabled());
  EXPECT_EQ(Form->CuteButton(10)->y(), 352);
  EXPECT_FALSE(Form->CuteButton(10)->isEnabled());
  EXPECT_EQ(Form->CuteButton(5)->y(), 384);
  EXPECT_EQ(Form->CuteButton(9)->y(), 416);
  EXPECT_EQ(grid->y(), 20);
  EXPECT_EQ(grid->height(), 276);
  EXPECT_TRUE(Form->GroupBox1()->isVisible());
  EXPECT_TRUE(Form->Edit1()->isVisible());
  EXPECT_TRUE(Form->Edit2()->isVisible());
  // Nothing of the side panel covers the board.
  for (QWidget *w : {combo1, grid, static_cast<QWidget *>(Form->GroupBox1()), static_cast<QWidget *>(Form->Edit1())})
    EXPECT_GE(w->x(), 536);
}

TEST_F(BoardTest, HandlerFailureOfAnyKindBecomesAnErrorBox) {
  RunHandler(Form.get(), [] { throw std::runtime_error("broken"); });
  RunHandler(Form.get(), [] { throw 42; });
  ASSERT_EQ(Messages->Errors.size(), 2);
  EXPECT_EQ(Messages->Errors[0], QStringLiteral("broken"));
  EXPECT_FALSE(Messages->Errors[1].isEmpty());
}

TEST_F(BoardTest, VersionBoxHasFourLinesWithOneEmptyLine) {
  Trigger("VInfo");
  ASSERT_EQ(Messages->Informations.size(), 1);
  const QStringList lines = Messages->Informations[0].split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], QStringLiteral("ミレトカ"));
  EXPECT_EQ(lines[1], QStringLiteral("Version 3.3"));
  EXPECT_TRUE(lines[2].isEmpty());
  EXPECT_FALSE(lines[3].trimmed().isEmpty());
  EXPECT_EQ(Messages->Informations[0].count(QStringLiteral("\r\n\r\n")), 1);
}

TEST_F(BoardTest, QuitAnsweredNoChangesNothing) {
  Click(P(3, 3));
  Messages->Answer = TAnswer::No;
  Trigger("APEnd");
  ASSERT_EQ(Messages->Questions.size(), 1);
  EXPECT_EQ(Messages->Questions[0], QStringLiteral("「ミレトカ」を終了していいですか？"));
  EXPECT_EQ(Terminated, 0);
  EXPECT_TRUE(Form->isVisible());
  EXPECT_EQ(Cell(P(3, 3)), 1);
  EXPECT_TRUE(HasStone(P(3, 3)));
}

TEST_F(BoardTest, QuitAnsweredYesEndsTheProgram) {
  Messages->Answer = TAnswer::Yes;
  Trigger("APEnd");
  EXPECT_EQ(Terminated, 1);
}

TEST_F(BoardTest, OnlineHelpOpensTheHelpFileBesideTheProgram) {
  Trigger("ALLHelp");
  ASSERT_EQ(HelpShown.size(), 1);
  EXPECT_TRUE(HelpShown[0].endsWith(QStringLiteral("/ミレトカ.hlp"))) << HelpShown[0].toStdString();
}

TEST_F(BoardTest, NineteenLineItemClearsAndStartsAlternatePlayWithBlack) {
  Click(P(3, 3));
  Click(P(4, 4), Qt::RightButton);
  Trigger("N10");
  for (int k = 1; k <= 361; ++k) ASSERT_EQ(Cell(k), 0);
  EXPECT_FALSE(HasStone(P(3, 3)));
  EXPECT_TRUE(Form->RadioButton1()->isChecked());
  EXPECT_EQ(PlayMode, PlayAlternate);
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(Panel(0), QStringLiteral("始めてください。"));
  Click(P(9, 9));
  EXPECT_EQ(Cell(P(9, 9)), 1);
  EXPECT_EQ(Text(P(9, 9)), QStringLiteral("1"));
}

TEST_F(BoardTest, NineteenLineItemWithAlternateAlreadyCheckedStillGivesBlack) {
  Form->RadioButton1()->setChecked(true);  // its handler passes the turn to white
  Click(P(2, 2));
  Click(P(3, 2));
  ASSERT_EQ(Cell(P(2, 2)), 2);
  ASSERT_EQ(CurrentColor, 2);
  Trigger("N10");
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(MoveCount, 0);
}

}  // namespace
}  // namespace miretoka::test
