#include "app/help/HelpFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

namespace miretoka {
namespace {
QString LineError(int line, const QString &what) {
  return QStringLiteral("%1 行目：%2").arg(line).arg(what);
}

bool IsValidName(const QString &name) {
  static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-]+$"));
  return pattern.match(name).hasMatch();
}

// Drops blank lines at both ends of a topic's text.
QString TrimBlankLines(const QStringList &lines) {
  qsizetype first = 0, last = lines.size();
  while (first < last && lines[first].trimmed().isEmpty()) ++first;
  while (last > first && lines[last - 1].trimmed().isEmpty()) --last;
  return lines.mid(first, last - first).join(QLatin1Char('\n'));
}

// Parses "NAME CONTEXT TITLE" after "@topic".
std::optional<HelpTopic> ParseHeader(const QString &rest, int line, QString *error) {
  static const QRegularExpression header(QStringLiteral("^\\s*(\\S+)\\s+(\\S+)\\s+(.*\\S)\\s*$"));
  const QRegularExpressionMatch m = header.match(rest);
  if (!m.hasMatch()) {
    *error = LineError(line, QStringLiteral("「@topic 名前 番号 題名」の形ではありません。"));
    return std::nullopt;
  }
  HelpTopic topic;
  topic.name = m.captured(1);
  topic.title = m.captured(3);
  topic.line = line;
  if (!IsValidName(topic.name)) {
    *error = LineError(line, QStringLiteral("トピック名「%1」に使えない文字があります。").arg(topic.name));
    return std::nullopt;
  }
  const QString context = m.captured(2);
  if (context != QLatin1String("-")) {
    bool ok = false;
    const int number = context.toInt(&ok, 10);
    if (!ok || number <= 0) {
      *error = LineError(line, QStringLiteral("番号「%1」は正の整数でも「-」でもありません。").arg(context));
      return std::nullopt;
    }
    topic.contextNumber = number;
  }
  return topic;
}
}  // namespace

std::optional<HelpFile> HelpFile::parse(const QByteArray &bytes, QString *error) {
  QString scratch;
  if (!error) error = &scratch;

  QByteArray data = bytes;
  if (data.startsWith("\xEF\xBB\xBF")) data.remove(0, 3);
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = decoder(data);
  if (decoder.hasError()) {
    *error = QStringLiteral("UTF-8 として読めない文字が含まれています。");
    return std::nullopt;
  }

  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString &l : lines)
    if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
  if (lines.isEmpty() || lines.first().trimmed() != QLatin1String(kFormatLine)) {
    *error = LineError(1, QStringLiteral("先頭行が「%1」ではありません。").arg(QLatin1String(kFormatLine)));
    return std::nullopt;
  }

  HelpFile file;
  QStringList body;
  bool inTopic = false;
  auto finishTopic = [&] {
    if (inTopic) file.topics_.last().body = TrimBlankLines(body);
    body.clear();
  };

  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QString &l = lines[i];
    const int lineNo = int(i + 1);
    if (l.startsWith(QLatin1String("@#"))) continue;
    if (l.startsWith(QLatin1String("@topic")) &&
        (l.size() == 6 || l.at(6).isSpace())) {
      std::optional<HelpTopic> topic = ParseHeader(l.mid(6), lineNo, error);
      if (!topic) return std::nullopt;
      if (file.findByName(topic->name)) {
        *error = LineError(lineNo, QStringLiteral("トピック名「%1」が二度使われています。").arg(topic->name));
        return std::nullopt;
      }
      if (topic->contextNumber && file.findByContext(*topic->contextNumber)) {
        *error = LineError(lineNo, QStringLiteral("番号 %1 が二度使われています。").arg(*topic->contextNumber));
        return std::nullopt;
      }
      finishTopic();
      file.topics_.append(*topic);
      inTopic = true;
      continue;
    }
    if (l.startsWith(QLatin1Char('@'))) {
      *error = LineError(lineNo, QStringLiteral("「%1」は知らない指示です。").arg(l.section(QLatin1Char(' '), 0, 0)));
      return std::nullopt;
    }
    if (!inTopic) {
      if (!l.trimmed().isEmpty()) {
        *error = LineError(lineNo, QStringLiteral("最初の @topic より前に本文があります。"));
        return std::nullopt;
      }
      continue;
    }
    body.append(l);
  }
  finishTopic();

  for (qsizetype i = 0; i < file.topics_.size(); ++i)
    if (file.topics_[i].name == QLatin1String(kContentsName)) file.contentsIndex_ = int(i);
  if (file.contentsIndex_ < 0) {
    *error = QStringLiteral("目次のトピック「%1」がありません。").arg(QLatin1String(kContentsName));
    return std::nullopt;
  }
  return file;
}

const HelpTopic &HelpFile::contents() const { return topics_[contentsIndex_]; }

const HelpTopic *HelpFile::findByName(const QString &name) const {
  for (const HelpTopic &t : topics_)
    if (t.name == name) return &t;
  return nullptr;
}

const HelpTopic *HelpFile::findByContext(int contextNumber) const {
  for (const HelpTopic &t : topics_)
    if (t.contextNumber && *t.contextNumber == contextNumber) return &t;
  return nullptr;
}

HelpPage HelpFile::pageForContext(int contextNumber) const {
  if (const HelpTopic *t = findByContext(contextNumber)) return {t, QString()};
  return {&contents(),
          QStringLiteral("番号 %1 の説明はまだありません。目次を表示しています。").arg(contextNumber)};
}

HelpPage HelpFile::pageForLink(const QString &href) const {
  if (href.startsWith(QLatin1String("topic:"))) {
    if (const HelpTopic *t = findByName(href.mid(6))) return {t, QString()};
  } else if (href.startsWith(QLatin1String("context:"))) {
    bool ok = false;
    const int number = href.mid(8).toInt(&ok, 10);
    if (ok) return pageForContext(number);
  }
  return {&contents(),
          QStringLiteral("リンク先「%1」が見つかりません。目次を表示しています。").arg(href)};
}

HelpLoadResult LoadHelpFile(const QString &path) {
  const QFileInfo info(path);
  if (!info.exists())
    return {std::nullopt, QStringLiteral("ヘルプファイル「%1」が見つかりません。").arg(path)};
  if (!info.isFile())
    return {std::nullopt, QStringLiteral("ヘルプファイル「%1」はファイルではありません。").arg(path)};
  if (info.size() > HelpFile::kMaxFileSize)
    return {std::nullopt, QStringLiteral("ヘルプファイル「%1」が大きすぎます。").arg(path)};
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return {std::nullopt, QStringLiteral("ヘルプファイル「%1」を読み込めません（%2）。").arg(path, f.errorString())};
  // Read one byte more than allowed, in case the file grew after the size check.
  const QByteArray bytes = f.read(HelpFile::kMaxFileSize + 1);
  if (f.error() != QFileDevice::NoError)
    return {std::nullopt, QStringLiteral("ヘルプファイル「%1」を読み込めません（%2）。").arg(path, f.errorString())};
  if (bytes.size() > HelpFile::kMaxFileSize)
    return {std::nullopt, QStringLiteral("ヘルプファイル「%1」が大きすぎます。").arg(path)};
  QString why;
  std::optional<HelpFile> file = HelpFile::parse(bytes, &why);
  if (!file)
    return {std::nullopt, QStringLiteral("ヘルプファイル「%1」の形式が正しくありません。\n%2").arg(path, why)};
  return {std::move(file), QString()};
}

}  // namespace miretoka
