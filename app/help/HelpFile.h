#pragma once
// The program's help file: a plain UTF-8 text container of HTML topics.
//
//   MIRETOKA-HELP 1
//   @# a comment line
//   @topic contents - 目次
//   <p>HTML of the topic …</p>
//   @topic lesson-1110 1110 石の取り方
//   <p>…</p>
//
// The first line names the format. "@topic NAME CONTEXT TITLE" starts a topic: NAME is
// made of ASCII letters, digits, '-' and '_' and is what links use ("topic:NAME");
// CONTEXT is a positive context number ("-" for none) by which the program asks for the
// topic (a lesson asks with its MNB, also reachable as "context:N"); TITLE is plain text.
// Every following line up to the next "@topic" is the topic's HTML; a line of it may not
// begin with '@' (write &#64;), so that a mistyped header is caught. The topic "contents"
// is required. In its text, the line <!--lesson-list--> stands for a list of every topic
// that has a context number, so a new lesson topic appears there by itself.
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace miretoka {

struct HelpTopic {
  QString name;
  std::optional<int> contextNumber;
  QString title;
  QString body;    // HTML fragment
  int line = 0;    // line of the "@topic" header, for messages
};

// The page to show for a request: the topic, and a note for the reader when the topic
// shown is not the one asked for.
struct HelpPage {
  const HelpTopic *topic = nullptr;
  QString note;
};

class HelpFile {
 public:
  static constexpr const char *kFormatLine = "MIRETOKA-HELP 1";
  static constexpr const char *kContentsName = "contents";
  static constexpr const char *kLessonListMarker = "<!--lesson-list-->";
  // Larger files are refused rather than read into memory.
  static constexpr qint64 kMaxFileSize = 8 * 1024 * 1024;

  // Parses the bytes of a help file. On failure returns nothing and sets *error to a
  // message naming the line at fault.
  static std::optional<HelpFile> parse(const QByteArray &bytes, QString *error);

  const QList<HelpTopic> &topics() const { return topics_; }
  const HelpTopic &contents() const;
  const HelpTopic *findByName(const QString &name) const;
  const HelpTopic *findByContext(int contextNumber) const;

  // The topic with this context number, or the contents page with a note saying that
  // there is no such topic.
  HelpPage pageForContext(int contextNumber) const;
  // Follows a link of a topic: "topic:NAME" or "context:N". An unknown target gives the
  // contents page with a note.
  HelpPage pageForLink(const QString &href) const;

 private:
  QList<HelpTopic> topics_;
  int contentsIndex_ = -1;
};

// The outcome of reading a help file from disk.
struct HelpLoadResult {
  std::optional<HelpFile> file;
  QString error;  // a message for the user when file is empty
};

// Reads and parses the file. A missing, unreadable, oversized or malformed file gives a
// message that names the file and what is wrong with it.
HelpLoadResult LoadHelpFile(const QString &path);

}  // namespace miretoka
