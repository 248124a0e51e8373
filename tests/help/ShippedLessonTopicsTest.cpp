// The help file beside the program against the lesson contents: opening a lesson shows the
// topic numbered with the lesson's MNB, so every contents row needs its topic.
#include <gtest/gtest.h>

#include <QHash>
#include <QRegularExpression>
#include <QTextDocumentFragment>

#include "LessonContentsFile.h"
#include "app/help/HelpFile.h"
#include "app/help/HelpPageHtml.h"

using miretoka::HelpFile;
using miretoka::HelpTopic;
using miretoka::LoadHelpFile;
using miretoka_test::LessonContentsRow;

namespace {
QString ShippedHelpPath() { return QStringLiteral(MIRETOKA_BIN_DIR "/") + QStringLiteral("ミレトカ.hlp"); }

QStringList LinksIn(const QString &html) {
  static const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
  QStringList links;
  for (auto it = href.globalMatch(html); it.hasNext();) links << it.next().captured(1);
  return links;
}

QString ContextLink(int mnb) { return QStringLiteral("href=\"context:%1\"").arg(mnb); }

bool IsChapter(int mnb) { return mnb % 1000 == 0; }
bool IsSection(int mnb) { return !IsChapter(mnb) && mnb % 100 == 0; }

class ShippedLessonTopics : public ::testing::Test {
 protected:
  void SetUp() override {
    QString error;
    const QList<LessonContentsRow> all = miretoka_test::ReadLessonContents(miretoka_test::SourceLessonContentsPath(), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    for (const LessonContentsRow &row : all)
      if (row.mnb > 0) rows_.append(row);
    // Guards every loop below against passing on an empty list.
    ASSERT_FALSE(rows_.isEmpty()) << "the lesson contents has no rows";
    auto loaded = LoadHelpFile(ShippedHelpPath());
    ASSERT_TRUE(loaded.file) << loaded.error.toStdString();
    file_ = std::move(loaded.file);
  }
  const HelpTopic &TopicFor(int mnb) const {
    const HelpTopic *topic = file_->findByContext(mnb);
    return topic ? *topic : file_->contents();
  }

  QList<LessonContentsRow> rows_;
  std::optional<HelpFile> file_;
};
}  // namespace

TEST_F(ShippedLessonTopics, EveryContentsRowHasItsTopicTitledWithTheItem) {
  for (const LessonContentsRow &row : rows_) {
    const HelpTopic *topic = file_->findByContext(row.mnb);
    ASSERT_NE(topic, nullptr) << "no topic numbered " << row.mnb;
    EXPECT_EQ(topic->name, QStringLiteral("lesson-%1").arg(row.mnb));
    EXPECT_EQ(topic->title, row.item) << row.mnb;
    const QString text = QTextDocumentFragment::fromHtml(topic->body).toPlainText().trimmed();
    EXPECT_FALSE(text.isEmpty()) << "topic " << row.mnb << " has no text";
  }
}

TEST_F(ShippedLessonTopics, EveryNumberedTopicBelongsToAContentsRow) {
  QHash<int, QString> items;
  for (const LessonContentsRow &row : rows_) items.insert(row.mnb, row.item);
  int numbered = 0;
  for (const HelpTopic &topic : file_->topics()) {
    if (!topic.contextNumber) continue;
    ++numbered;
    EXPECT_TRUE(items.contains(*topic.contextNumber))
        << topic.name.toStdString() << " is numbered " << *topic.contextNumber << ", which no lesson has";
  }
  EXPECT_EQ(numbered, rows_.size());
}

TEST_F(ShippedLessonTopics, EveryTopicAndContextLinkResolves) {
  int checked = 0;
  for (const HelpTopic &topic : file_->topics()) {
    for (const QString &href : LinksIn(topic.body)) {
      ++checked;
      if (href.startsWith(QLatin1String("context:"))) {
        bool ok = false;
        const int number = href.mid(8).toInt(&ok);
        EXPECT_TRUE(ok && file_->findByContext(number)) << href.toStdString() << " in " << topic.name.toStdString();
      } else if (href.startsWith(QLatin1String("topic:"))) {
        EXPECT_NE(file_->findByName(href.mid(6)), nullptr) << href.toStdString() << " in " << topic.name.toStdString();
      } else {
        ADD_FAILURE() << "link " << href.toStdString() << " in " << topic.name.toStdString()
                      << " is neither topic: nor context:";
      }
    }
  }
  EXPECT_GT(checked, 0);
}

TEST_F(ShippedLessonTopics, ContentsPageListsEveryLessonTopic) {
  const QString page = miretoka::RenderHelpPage(*file_, miretoka::HelpPage{&file_->contents(), {}});
  for (const LessonContentsRow &row : rows_) {
    const bool linked = page.contains(QStringLiteral("href=\"topic:lesson-%1\"").arg(row.mnb)) ||
                        page.contains(ContextLink(row.mnb));
    EXPECT_TRUE(linked) << row.mnb << " is not reachable from the contents page";
    EXPECT_TRUE(page.contains(row.item.toHtmlEscaped())) << row.mnb;
  }
}

TEST_F(ShippedLessonTopics, HeadingsLinkToEverythingUnderThem) {
  for (const LessonContentsRow &heading : rows_) {
    if (!IsChapter(heading.mnb) && !IsSection(heading.mnb)) continue;
    const int span = IsChapter(heading.mnb) ? 1000 : 100;
    const QString &body = TopicFor(heading.mnb).body;
    for (const LessonContentsRow &row : rows_) {
      if (row.mnb <= heading.mnb || row.mnb >= heading.mnb + span) continue;
      // A chapter names its sections; a section names its lessons.
      const bool directChild = IsChapter(heading.mnb) ? IsSection(row.mnb) : true;
      if (!directChild) continue;
      EXPECT_TRUE(body.contains(ContextLink(row.mnb))) << heading.mnb << " does not link to " << row.mnb;
    }
  }
}

TEST_F(ShippedLessonTopics, LessonTopicsNameTheControlsTheLessonUses) {
  for (const LessonContentsRow &row : rows_) {
    if (IsChapter(row.mnb) || IsSection(row.mnb)) continue;
    const QString &body = TopicFor(row.mnb).body;
    if (row.prb == 0) {
      // Every lesson without problems starts with a choice mark and steps on with 1手進む.
      EXPECT_TRUE(body.contains(QStringLiteral("1手進む"))) << row.mnb;
      EXPECT_TRUE(body.contains(QStringLiteral("●"))) << row.mnb;
    } else {
      EXPECT_TRUE(body.contains(QStringLiteral("問題選択"))) << row.mnb;
      EXPECT_TRUE(body.contains(QStringLiteral("解答表示"))) << row.mnb;
      EXPECT_TRUE(body.contains(QStringLiteral("解答選択"))) << row.mnb;  // used, or said to be unused
      if (row.prb >= 2) {
        for (const char *sign : {"○", "×"}) EXPECT_TRUE(body.contains(QString::fromUtf8(sign))) << row.mnb;
      }
    }
  }
}

TEST_F(ShippedLessonTopics, LessonAndProblemGuidesLeadToTheLessonTopics) {
  const HelpTopic *lessons = file_->findByName(QStringLiteral("lessons"));
  const HelpTopic *problems = file_->findByName(QStringLiteral("problems"));
  ASSERT_NE(lessons, nullptr);
  ASSERT_NE(problems, nullptr);
  for (const LessonContentsRow &row : rows_) {
    if (IsChapter(row.mnb))
      EXPECT_TRUE(lessons->body.contains(ContextLink(row.mnb))) << "lessons does not link chapter " << row.mnb;
    if (row.prb > 0)
      EXPECT_TRUE(problems->body.contains(ContextLink(row.mnb))) << "problems does not link " << row.mnb;
  }
}

TEST(LessonContentsFile, MissingFileIsReportedNotReadAsEmpty) {
  QString error;
  const auto rows = miretoka_test::ReadLessonContents(QStringLiteral("/nonexistent/mokuji.tsv"), &error);
  EXPECT_TRUE(rows.isEmpty());
  EXPECT_FALSE(error.isEmpty());
}
