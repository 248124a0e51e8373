#pragma once
// Reads the lesson contents list (data/lessons/mokuji.tsv) so that the help tests can hold
// the shipped help file against the lessons it has to explain.
#include <QList>
#include <QString>

namespace miretoka_test {

struct LessonContentsRow {
  int mnb = 0;
  QString item;
  int prb = 0;
};

// The rows in file order. On a missing file or a malformed row returns nothing and
// sets *error to what is wrong (file and line).
QList<LessonContentsRow> ReadLessonContents(const QString &path, QString *error);

// The contents file of the source tree.
QString SourceLessonContentsPath();

}  // namespace miretoka_test
