// Reading help files from disk, and the help file that ships beside the program.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include "app/help/HelpFile.h"

using miretoka::HelpFile;
using miretoka::LoadHelpFile;

namespace {
QString ShippedHelpPath() { return QStringLiteral(MIRETOKA_BIN_DIR "/") + QStringLiteral("ミレトカ.hlp"); }

bool WriteBytes(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QStringList LinksIn(const QString &html) {
  static const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
  QStringList links;
  for (auto it = href.globalMatch(html); it.hasNext();) links << it.next().captured(1);
  return links;
}
}  // namespace

TEST(HelpFileLoad, MissingFileIsReportedWithItsPath) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("ない.hlp"));
  const auto result = LoadHelpFile(path);
  EXPECT_FALSE(result.file);
  EXPECT_TRUE(result.error.contains(path)) << result.error.toStdString();
  EXPECT_TRUE(result.error.contains(QStringLiteral("見つかりません")));
}

TEST(HelpFileLoad, DirectoryInPlaceOfTheFileIsReported) {
  QTemporaryDir dir;
  const auto result = LoadHelpFile(dir.path());
  EXPECT_FALSE(result.file);
  EXPECT_TRUE(result.error.contains(dir.path()));
  EXPECT_TRUE(result.error.contains(QStringLiteral("ファイルではありません")));
}

TEST(HelpFileLoad, MalformedFileIsReportedWithPathAndLine) {
  QTemporaryDir dir;
  const QString path = dir.filePath("bad.hlp");
  ASSERT_TRUE(WriteBytes(path, "MIRETOKA-HELP 1\n@topic contents - 目次\n@topic board x 碁盤\n"));
  const auto result = LoadHelpFile(path);
  EXPECT_FALSE(result.file);
  EXPECT_TRUE(result.error.contains(path));
  EXPECT_TRUE(result.error.contains(QStringLiteral("形式")));
  EXPECT_TRUE(result.error.contains(QStringLiteral("3 行目"))) << result.error.toStdString();
}

TEST(HelpFileLoad, EmptyFileIsMalformedNotACrash) {
  QTemporaryDir dir;
  const QString path = dir.filePath("empty.hlp");
  ASSERT_TRUE(WriteBytes(path, ""));
  const auto result = LoadHelpFile(path);
  EXPECT_FALSE(result.file);
  EXPECT_TRUE(result.error.contains(QStringLiteral("形式")));
}

TEST(HelpFileLoad, OversizedFileIsRefused) {
  QTemporaryDir dir;
  const QString path = dir.filePath("huge.hlp");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_TRUE(f.resize(HelpFile::kMaxFileSize + 1));  // sparse: costs no disk space
  f.close();
  const auto result = LoadHelpFile(path);
  EXPECT_FALSE(result.file);
  EXPECT_TRUE(result.error.contains(QStringLiteral("大きすぎます")));
}

TEST(HelpFileLoad, UnreadableFileIsReported) {
  QTemporaryDir dir;
  const QString path = dir.filePath("locked.hlp");
  ASSERT_TRUE(WriteBytes(path, "MIRETOKA-HELP 1\n@topic contents - 目次\n"));
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
  QFile probe(path);
  if (probe.open(QIODevice::ReadOnly)) GTEST_SKIP() << "running with rights that read any file";
  const auto result = LoadHelpFile(path);
  EXPECT_FALSE(result.file);
  EXPECT_TRUE(result.error.contains(QStringLiteral("読み込めません"))) << result.error.toStdString();
}

TEST(ShippedHelpFile, ParsesAndHasTheContentsPage) {
  const auto result = LoadHelpFile(ShippedHelpPath());
  ASSERT_TRUE(result.file) << result.error.toStdString();
  EXPECT_EQ(result.file->contents().title, QStringLiteral("目次"));
  for (const char *name : {"screen", "board", "placing", "capture", "buttons", "menu-board", "menu-game",
                           "menu-help", "counting", "small-boards", "gomoku", "lessons", "problems"})
    EXPECT_NE(result.file->findByName(name), nullptr) << name;
}

TEST(ShippedHelpFile, EveryLinkLeadsToATopicAndEveryTopicIsListedInTheContents) {
  const auto result = LoadHelpFile(ShippedHelpPath());
  ASSERT_TRUE(result.file) << result.error.toStdString();
  const HelpFile &file = *result.file;
  for (const auto &topic : file.topics()) {
    for (const QString &href : LinksIn(topic.body)) {
      const auto page = file.pageForLink(href);
      EXPECT_TRUE(page.note.isEmpty()) << "broken link " << href.toStdString() << " in " << topic.name.toStdString();
    }
  }
  QSet<QString> listed;
  for (const QString &href : LinksIn(file.contents().body))
    if (href.startsWith("topic:")) listed.insert(href.mid(6));
  for (const auto &topic : file.topics()) {
    if (&topic == &file.contents() || topic.contextNumber) continue;  // numbered ones are listed by themselves
    EXPECT_TRUE(listed.contains(topic.name)) << topic.name.toStdString() << " is not in the contents";
  }
}

TEST(ShippedHelpFile, ExplainsEveryButtonMenuItemAndLessonControl) {
  const auto result = LoadHelpFile(ShippedHelpPath());
  ASSERT_TRUE(result.file) << result.error.toStdString();
  QString all;
  for (const auto &topic : result.file->topics()) all += topic.title + topic.body;
  const char *captions[] = {"交互", "自由", "終局", "1手戻す", "1手進む", "クリア", "元に戻す",
                            "碁盤選択", "１９路盤", "１３路盤", "９路盤", "五目並べ", "五目並べ終了",
                            "打ち掛け", "保存", "復元", "地の計算", "オンラインヘルプ", "バージョン情報",
                            "終了", "アゲ石", "目次", "問題選択", "解答選択", "解答表示", "●",
                            "○", "×", "－", "メイン碁盤へ",
                            "「ミレトカ」を終了していいですか？",
                            "手入れの完了を確認してください。ダメ詰めは不要です。"};
  for (const char *caption : captions)
    EXPECT_TRUE(all.contains(QString::fromUtf8(caption))) << caption;
}

TEST(ShippedHelpFile, IsTheFileFromTheSourceTree) {
  // The copy beside the program is what users read; it must not lag behind its source.
  QFile built(ShippedHelpPath());
  QFile source(QStringLiteral(MIRETOKA_SOURCE_DATA_DIR "/") + QStringLiteral("ミレトカ.hlp"));
  ASSERT_TRUE(built.open(QIODevice::ReadOnly));
  ASSERT_TRUE(source.open(QIODevice::ReadOnly));
  EXPECT_EQ(built.readAll(), source.readAll());
}
