// The program speaks one language: Qt's standard boxes in Japanese like its own messages,
// and a help that names the menus and buttons the window really has.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <QTranslator>

#include "BoardTestSupport.h"
#include "app/help/HelpFile.h"
#include "app/start/Translations.h"

namespace miretoka::test {
namespace {

class LanguageAndHelpTest : public BoardTest {};

TEST_F(LanguageAndHelpTest, TheQuitBoxAnswersWithJapaneseButtons) {
  QTranslator *translator = InstallQtTranslations(*qApp);
  ASSERT_NE(translator, nullptr) << "qt6-translations-l10n must be installed";
  SetReporter(std::make_unique<TMessageBoxReporter>());
  QStringList captions;
  // The box is modal: look at it once it is up, then answer いいえ.
  QTimer::singleShot(0, [&] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box) return;
    for (QAbstractButton *b : box->buttons()) captions.append(b->text().remove(QLatin1Char('&')));
    box->button(QMessageBox::No)->click();
  });
  Trigger("APEnd");
  qApp->removeTranslator(translator);
  delete translator;
  EXPECT_EQ(Terminated, 0);
  captions.sort();
  ASSERT_EQ(captions.size(), 2);
  EXPECT_TRUE(captions[0].startsWith(QStringLiteral("いいえ"))) << captions.join(',').toStdString();
  EXPECT_TRUE(captions[1].startsWith(QStringLiteral("はい"))) << captions.join(',').toStdString();
}

// Every 「menu」→「item」 the help names is an item of that menu of the main window.
TEST_F(LanguageAndHelpTest, TheHelpNamesMenusAsTheWindowHasThem) {
  QFile file(QStringLiteral(HELP_FILE));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QString error;
  const auto help = HelpFile::parse(file.readAll(), &error);
  ASSERT_TRUE(help) << error.toStdString();
  std::map<QString, QStringList> menus;
  for (QAction *top : Form->menuBar()->actions()) {
    QStringList items;
    if (top->menu())
      for (QAction *a : top->menu()->actions()) items.append(a->text());
    menus[top->text()] = items;
  }
  const QRegularExpression path(QStringLiteral("「([^」]+)」→「([^」]+)」"));
  int checked = 0;
  for (const HelpTopic &topic : help->topics()) {
    if (topic.contextNumber) continue;  // the lessons' own topics
    for (auto m = path.globalMatch(topic.body); m.hasNext();) {
      const auto match = m.next();
      const QString menu = match.captured(1), item = match.captured(2);
      ASSERT_TRUE(menus.count(menu)) << topic.name.toStdString() << ": " << menu.toStdString();
      EXPECT_TRUE(menus[menu].contains(item)) << topic.name.toStdString() << ": " << menu.toStdString() << " → "
                                              << item.toStdString();
      ++checked;
    }
    // A learner never meets the authoring words.
    EXPECT_FALSE(topic.body.contains(QStringLiteral("登録手順"))) << topic.name.toStdString();
  }
  EXPECT_GE(checked, 5);
  // 地の計算 is an item of the menu bar itself.
  EXPECT_TRUE(menus.count(QStringLiteral("地の計算")));
}

}  // namespace
}  // namespace miretoka::test
