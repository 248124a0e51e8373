#include "LessonContentsFile.h"

#include <QFile>
#include <QStringList>

namespace miretoka_test {

QString SourceLessonContentsPath() { return QStringLiteral(MIRETOKA_SOURCE_LESSONS_DIR "/mokuji.tsv"); }

QList<LessonContentsRow> ReadLessonContents(const QString &path, QString *error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *error = path + QStringLiteral(": cannot be opened");
    return {};
  }
  const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  if (lines.isEmpty()) {
    *error = path + QStringLiteral(": empty");
    return {};
  }
  // Columns are found by name, so a reordered header still reads right.
  const QStringList header = lines.first().split(QLatin1Char('\t'));
  const qsizetype mnbAt = header.indexOf(QStringLiteral("MNB"));
  const qsizetype itemAt = header.indexOf(QStringLiteral("ITEM"));
  const qsizetype prbAt = header.indexOf(QStringLiteral("PRB"));
  if (mnbAt < 0 || itemAt < 0 || prbAt < 0) {
    *error = path + QStringLiteral(": header lacks MNB, ITEM or PRB");
    return {};
  }
  QList<LessonContentsRow> rows;
  for (qsizetype i = 1; i < lines.size(); ++i) {
    if (lines[i].isEmpty()) continue;  // the final line end
    const QStringList cells = lines[i].split(QLatin1Char('\t'));
    bool mnbOk = false, prbOk = false;
    LessonContentsRow row;
    if (cells.size() == header.size()) {
      row.mnb = cells[mnbAt].toInt(&mnbOk);
      row.item = cells[itemAt];
      row.prb = cells[prbAt].toInt(&prbOk);
    }
    if (!mnbOk || !prbOk) {
      *error = QStringLiteral("%1 line %2: malformed row").arg(path).arg(i + 1);
      return {};
    }
    rows.append(row);
  }
  return rows;
}

}  // namespace miretoka_test
