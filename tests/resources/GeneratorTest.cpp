// make-resources itself: the files beside the program are what it makes today, every run
// makes the same bytes, and a failure to write is reported by the exit status.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {
const char *const kFiles[] = {"stB.bmp", "stW.bmp", "Oto1.wav", "Oto2.wav"};

QByteArray ReadAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

int RunTool(const QStringList &args) {
  QProcess p;
  p.start(QStringLiteral(MAKE_RESOURCES_PROGRAM), args);
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    return -1;
  }
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}
}  // namespace

TEST(MakeResources, RegeneratesExactlyTheFilesBesideTheProgram) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ASSERT_EQ(RunTool({dir.path()}), 0);
  for (const char *name : kFiles) {
    const QByteArray fresh = ReadAll(dir.filePath(name));
    EXPECT_GT(fresh.size(), 100) << name;
    EXPECT_TRUE(fresh == ReadAll(QStringLiteral(MIRETOKA_BIN_DIR "/") + QLatin1String(name)))
        << name << " beside the program differs from a fresh run";
  }
}

TEST(MakeResources, CreatesAMissingOutputFolder) {
  QTemporaryDir dir;
  const QString nested = dir.filePath("a/b");
  ASSERT_EQ(RunTool({nested}), 0);
  for (const char *name : kFiles) EXPECT_TRUE(QFile::exists(nested + "/" + name)) << name;
}

TEST(MakeResources, ReportsFailureWhenItCannotWrite) {
  QTemporaryDir dir;
  // A plain file where the output folder should be.
  const QString blocker = dir.filePath("not-a-folder");
  QFile f(blocker);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  EXPECT_NE(RunTool({blocker}), 0);
  EXPECT_NE(RunTool({blocker + "/inside"}), 0);
}

TEST(MakeResources, RefusesWrongArguments) {
  EXPECT_EQ(RunTool({}), 2);
  EXPECT_EQ(RunTool({"a", "b"}), 2);
}
