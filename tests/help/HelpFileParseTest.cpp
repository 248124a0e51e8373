// The help file format: topics, lookups, fallbacks and every kind of malformed input.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include "app/help/HelpFile.h"
#include "app/help/HelpPageHtml.h"

using miretoka::HelpFile;

namespace {
const QByteArray kSmallFile =
    "MIRETOKA-HELP 1\n"
    "@# a comment, ignored\n"
    "\n"
    "@topic contents - 目次\n"
    "<p>はじめに</p>\n"
    "<!--lesson-list-->\n"
    "\n"
    "@topic board - 碁盤と石\n"
    "\n"
    "<p>線の交わる点に置きます。</p>\n"
    "\n"
    "@topic lesson-2100 2100 石の<つながり>\n"
    "<p>つながり</p>\n"
    "@topic lesson-1110 1110 石の取り方\n"
    "<p>取り方</p>\n";

std::optional<HelpFile> Parse(const QByteArray &bytes, QString *error = nullptr) {
  return HelpFile::parse(bytes, error);
}

// The message for a malformed file; fails the test when the file is accepted.
QString ErrorOf(const QByteArray &bytes) {
  QString error;
  const auto file = Parse(bytes, &error);
  EXPECT_FALSE(file.has_value()) << "accepted: " << bytes.constData();
  EXPECT_FALSE(error.isEmpty());
  return error;
}
}  // namespace

TEST(HelpFileParse, ReadsTopicsInOrderWithNamesNumbersTitlesAndBodies) {
  QString error;
  const auto file = Parse(kSmallFile, &error);
  ASSERT_TRUE(file) << error.toStdString();
  ASSERT_EQ(file->topics().size(), 4);
  const auto &board = file->topics()[1];
  EXPECT_EQ(board.name, "board");
  EXPECT_FALSE(board.contextNumber.has_value());
  EXPECT_EQ(board.title, QStringLiteral("碁盤と石"));
  // Blank lines around a topic's text are dropped, the text itself is kept as written.
  EXPECT_EQ(board.body, QStringLiteral("<p>線の交わる点に置きます。</p>"));
  EXPECT_EQ(board.line, 8);
  EXPECT_EQ(file->topics()[2].contextNumber, 2100);
  EXPECT_EQ(file->topics()[2].title, QStringLiteral("石の<つながり>"));
  EXPECT_EQ(file->contents().name, "contents");
  EXPECT_EQ(file->contents().title, QStringLiteral("目次"));
}

TEST(HelpFileParse, FindsTopicsByNameAndByContextNumber) {
  const auto file = Parse(kSmallFile);
  ASSERT_TRUE(file);
  ASSERT_NE(file->findByName("board"), nullptr);
  EXPECT_EQ(file->findByName("board")->title, QStringLiteral("碁盤と石"));
  EXPECT_EQ(file->findByName("Board"), nullptr);  // names are case-sensitive
  ASSERT_NE(file->findByContext(1110), nullptr);
  EXPECT_EQ(file->findByContext(1110)->name, "lesson-1110");
  EXPECT_EQ(file->findByContext(1111), nullptr);
  EXPECT_EQ(file->findByContext(0), nullptr);

  const auto page = file->pageForContext(2100);
  EXPECT_EQ(page.topic, file->findByName("lesson-2100"));
  EXPECT_TRUE(page.note.isEmpty());
}

TEST(HelpFileParse, UnknownContextNumberFallsBackToContentsWithNote) {
  const auto file = Parse(kSmallFile);
  ASSERT_TRUE(file);
  for (int n : {4321, 0, -5, 19}) {
    const auto page = file->pageForContext(n);
    EXPECT_EQ(page.topic, &file->contents()) << n;
    EXPECT_TRUE(page.note.contains(QString::number(n))) << page.note.toStdString();
    EXPECT_TRUE(page.note.contains(QStringLiteral("目次"))) << page.note.toStdString();
  }
}

TEST(HelpFileParse, LinksByNameAndByNumberAndUnknownLinksFallBack) {
  const auto file = Parse(kSmallFile);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->pageForLink("topic:board").topic, file->findByName("board"));
  EXPECT_EQ(file->pageForLink("context:1110").topic, file->findByContext(1110));
  EXPECT_TRUE(file->pageForLink("topic:board").note.isEmpty());
  for (const char *href : {"topic:nowhere", "context:77", "context:abc", "http://example.org/", "board", ""}) {
    const auto page = file->pageForLink(href);
    EXPECT_EQ(page.topic, &file->contents()) << href;
    EXPECT_FALSE(page.note.isEmpty()) << href;
  }
}

TEST(HelpFileParse, AcceptsByteOrderMarkAndWindowsLineEnds) {
  QByteArray crlf = kSmallFile;
  crlf.replace("\n", "\r\n");
  QString error;
  const auto file = Parse("\xEF\xBB\xBF" + crlf, &error);
  ASSERT_TRUE(file) << error.toStdString();
  EXPECT_EQ(file->topics().size(), 4);
  EXPECT_EQ(file->findByName("board")->body, QStringLiteral("<p>線の交わる点に置きます。</p>"));
  EXPECT_EQ(file->findByName("lesson-1110")->title, QStringLiteral("石の取り方"));
}

TEST(HelpFileParse, RejectsMissingOrWrongFormatLine) {
  EXPECT_TRUE(ErrorOf("").contains(QStringLiteral("1 行目")));
  EXPECT_TRUE(ErrorOf("@topic contents - 目次\n<p>x</p>\n").contains(QStringLiteral("1 行目")));
  EXPECT_FALSE(Parse("MIRETOKA-HELP 2\n@topic contents - 目次\n"));
}

TEST(HelpFileParse, RejectsMalformedTopicHeadersNamingTheLine) {
  const QByteArray head = "MIRETOKA-HELP 1\n@topic contents - 目次\n<p>x</p>\n";
  EXPECT_TRUE(ErrorOf(head + "@topic board\n").contains(QStringLiteral("4 行目")));
  EXPECT_TRUE(ErrorOf(head + "@topic board -\n").contains(QStringLiteral("4 行目")));
  EXPECT_TRUE(ErrorOf(head + "@topic 碁盤 - 碁盤\n").contains(QStringLiteral("碁盤")));
  EXPECT_TRUE(ErrorOf(head + "@topic a/b - x\n").contains(QStringLiteral("a/b")));
  for (const char *number : {"0", "-3", "abc", "12x", "99999999999"}) {
    const QString error = ErrorOf(head + "@topic lesson " + QByteArray(number) + " 題名\n");
    EXPECT_TRUE(error.contains(QLatin1String(number))) << error.toStdString();
  }
}

TEST(HelpFileParse, RejectsDuplicateNamesAndNumbers) {
  const QByteArray head = "MIRETOKA-HELP 1\n@topic contents - 目次\n@topic a 5 A\n";
  EXPECT_TRUE(ErrorOf(head + "@topic a - again\n").contains(QStringLiteral("4 行目")));
  EXPECT_TRUE(ErrorOf(head + "@topic b 5 B\n").contains(QStringLiteral("5")));
  EXPECT_TRUE(ErrorOf(head + "@topic contents - 目次\n").contains(QStringLiteral("contents")));
}

TEST(HelpFileParse, RejectsFileWithoutContentsTopic) {
  EXPECT_TRUE(ErrorOf("MIRETOKA-HELP 1\n@topic board - 碁盤\n<p>x</p>\n").contains(QStringLiteral("contents")));
  EXPECT_TRUE(ErrorOf("MIRETOKA-HELP 1\n").contains(QStringLiteral("contents")));
}

TEST(HelpFileParse, RejectsTextBeforeFirstTopicAndUnknownDirectives) {
  EXPECT_TRUE(ErrorOf("MIRETOKA-HELP 1\n<p>stray</p>\n@topic contents - 目次\n").contains(QStringLiteral("2 行目")));
  // A mistyped header must not silently become text of the topic before it.
  EXPECT_TRUE(ErrorOf("MIRETOKA-HELP 1\n@topic contents - 目次\n@topc board - x\n").contains(QStringLiteral("@topc")));
  EXPECT_TRUE(ErrorOf("MIRETOKA-HELP 1\n@topic contents - 目次\n@topicboard - x\n").contains(QStringLiteral("3 行目")));
}

TEST(HelpFileParse, RejectsTextThatIsNotUtf8) {
  QByteArray bad = "MIRETOKA-HELP 1\n@topic contents - 目次\n<p>";
  bad += "\x82\xa0\xff";  // Shift-JIS bytes and a stray 0xFF
  bad += "</p>\n";
  EXPECT_TRUE(ErrorOf(bad).contains(QStringLiteral("UTF-8")));
}

TEST(HelpPageHtml, ContentsPageListsNumberedTopicsInOrderWithEscapedTitles) {
  const auto file = Parse(kSmallFile);
  ASSERT_TRUE(file);
  const QString html = miretoka::RenderHelpPage(*file, {&file->contents(), QString()});
  EXPECT_FALSE(html.contains(QLatin1String(HelpFile::kLessonListMarker)));
  const auto first = html.indexOf(QStringLiteral("href=\"topic:lesson-1110\""));
  const auto second = html.indexOf(QStringLiteral("href=\"topic:lesson-2100\""));
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  EXPECT_LT(first, second);
  EXPECT_TRUE(html.contains(QStringLiteral("石の&lt;つながり&gt;")));
  EXPECT_FALSE(html.contains(QStringLiteral("href=\"topic:board\"")));  // not numbered
  // The contents page does not link to itself.
  EXPECT_FALSE(html.contains(QStringLiteral("目次へ戻る")));
}

TEST(HelpPageHtml, TopicPageHasTitleTextNoteAndContentsLink) {
  const auto file = Parse(kSmallFile);
  ASSERT_TRUE(file);
  const QString html = miretoka::RenderHelpPage(*file, {file->findByName("board"), QStringLiteral("注意 <b>")});
  EXPECT_TRUE(html.contains(QStringLiteral("<h2>碁盤と石</h2>")));
  EXPECT_TRUE(html.contains(QStringLiteral("<p>線の交わる点に置きます。</p>")));
  EXPECT_TRUE(html.contains(QStringLiteral("注意 &lt;b&gt;")));
  EXPECT_TRUE(html.contains(QStringLiteral("href=\"topic:contents\"")));
}

TEST(HelpPageHtml, LessonListSaysSoWhenThereAreNoLessonTopics) {
  const auto file = Parse("MIRETOKA-HELP 1\n@topic contents - 目次\n<!--lesson-list-->\n");
  ASSERT_TRUE(file);
  const QString html = miretoka::RenderHelpPage(*file, {&file->contents(), QString()});
  EXPECT_TRUE(html.contains(QStringLiteral("まだありません")));
  EXPECT_FALSE(html.contains(QStringLiteral("<li>")));
}
