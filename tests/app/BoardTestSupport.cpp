#include "BoardTestSupport.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTest>

#include <QDir>

#include "KyozaiBuilder.h"
#include "app/board/PlayState.h"
#include "query/dataset/KuraQuery.h"
#include "query/dataset/KuraSession.h"
#include "app/board/StatusPanels.h"
#include "controls/CuteButton.h"

namespace miretoka::test {

void WriteStonePicture(const QString &file, bool black) {
  QImage img(28, 28, QImage::Format_RGB888);
  img.fill(QColor(255, 0, 255));
  for (int y = 0; y < 28; ++y)
    for (int x = 0; x < 28; ++x)
      if ((x - 13.5) * (x - 13.5) + (y - 13.5) * (y - 13.5) < 13 * 13)
        img.setPixelColor(x, y, black ? QColor(20, 20, 20) : QColor(240, 240, 240));
  ASSERT_TRUE(img.save(file, "BMP"));
}

void WriteSound(const QString &file) {
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  const int samples = 800;
  auto u32 = [&](quint32 v) { f.write(reinterpret_cast<const char *>(&v), 4); };
  auto u16 = [&](quint16 v) { f.write(reinterpret_cast<const char *>(&v), 2); };
  f.write("RIFF");
  u32(36 + samples * 2);
  f.write("WAVEfmt ");
  u32(16);
  u16(1);
  u16(1);
  u32(8000);
  u32(16000);
  u16(2);
  u16(16);
  f.write("data");
  u32(samples * 2);
  for (int i = 0; i < samples; ++i) u16(static_cast<quint16>((i % 16) * 500));
}

void BoardTest::SetUp() {
  ASSERT_TRUE(Dir.isValid());
  const QString dir = Dir.path() + QLatin1Char('/');
  WriteStonePicture(dir + QStringLiteral("stB.bmp"), true);
  WriteStonePicture(dir + QStringLiteral("stW.bmp"), false);
  WriteSound(dir + QStringLiteral("Oto1.wav"));
  WriteSound(dir + QStringLiteral("Oto2.wav"));

  // The lesson directory resolves against the working directory; the session's
  // result tables go to the scratch folder too.
  OldDir = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(Dir.path()));
  kura::Session().PrivateDir = Dir.path().toStdString();
  kyozai::BuildKyozai(Lessons(), "kyozai");

  play::ResetAll();
  // Every test starts from what a first run remembers: nothing.
  QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Miretoka"), QStringLiteral("miretoka")).clear();
  auto reporter = std::make_unique<TFakeReporter>();
  Messages = reporter.get();
  SetReporter(std::move(reporter));
  auto player = std::make_unique<TSilentPlayer>();
  Player = player.get();
  SetSoundPlayer(std::move(player));

  Form = std::make_unique<TForm2>(&DataModule);
  play::ProgramDir = dir;
  Form->ShowHelp = [this](QWidget *, const QString &file) { HelpShown.append(file); };
  Form->ShowHelpTopic = [this](QWidget *, const QString &, int context) { HelpTopics.push_back(context); };
  Form->Terminate = [this] { ++Terminated; };
  Form->show();
  QCoreApplication::processEvents();
}

void BoardTest::TearDown() {
  Form.reset();
  DataModule.DataModuleDestroy();
  DataModule.KuraQuery4.Close();
  kura::Session().Close();
  kura::Session().PrivateDir.clear();
  if (!OldDir.isEmpty()) QDir::setCurrent(OldDir);
  SetReporter(nullptr);
  SetSoundPlayer(nullptr);
}

kyozai::TLessonSource BoardTest::Lessons() const {
  kyozai::TLessonSource s;
  s.Contents = {{1000, "テスト", 0}};
  auto row = [](int tes, int col, int pst, int bfr, int bto, const char *cmt) {
    kyozai::TFigureRow r;
    r.MNB = 1000;
    r.TES = tes;
    r.COL = col;
    r.PST = pst;
    r.BFR = bfr;
    r.BTO = bto;
    r.CMT = cmt;
    return r;
  };
  s.Figures = {row(0, 1, 61, 0, 9999, ""), row(0, 2, 62, 1, 0, "白番"), row(1, 2, 80, 2, 1, "一手目")};
  return s;
}

std::vector<kyozai::TFigureRow> BoardTest::FigureTable() const {
  kura::TKuraQuery q;
  q.SetDatabaseName("kyozai");
  q.SQL().Add("select * from figure");
  q.Open();
  std::vector<kyozai::TFigureRow> rows;
  for (q.First(); !q.Eof(); q.Next()) {
    kyozai::TFigureRow r;
    r.MNB = static_cast<int>(q.Fields(0).AsInteger());
    r.TES = static_cast<int>(q.Fields(1).AsInteger());
    r.COL = static_cast<int>(q.Fields(2).AsInteger());
    r.PST = static_cast<int>(q.Fields(3).AsInteger());
    r.BFR = static_cast<int>(q.Fields(4).AsInteger());
    r.BTO = static_cast<int>(q.Fields(5).AsInteger());
    r.DTX = static_cast<int>(q.Fields(6).AsInteger());
    r.CMT = q.Fields(7).AsString();
    rows.push_back(r);
  }
  q.Close();
  return rows;
}

void BoardTest::Click(int k, Qt::MouseButton button) { QTest::mouseClick(Form->Label(k), button); }

void BoardTest::Press(int buttonNumber) {
  TCuteButton *b = Form->CuteButton(buttonNumber);
  ASSERT_NE(b, nullptr);
  QTest::mouseClick(b, Qt::LeftButton);
}

void BoardTest::Trigger(const char *menuItemName) {
  QAction *a = Form->MenuItem(QString::fromLatin1(menuItemName));
  ASSERT_NE(a, nullptr) << menuItemName;
  a->trigger();
}

void BoardTest::ClickRadio(int number) {
  QRadioButton *rb = number == 1 ? Form->RadioButton1() : number == 2 ? Form->RadioButton2() : Form->RadioButton3();
  QTest::mouseClick(rb, Qt::LeftButton);
}

int BoardTest::Cell(int k) const { return play::Board[static_cast<std::size_t>(k - 1)]; }
QString BoardTest::Text(int k) const { return Form->Label(k)->text(); }
bool BoardTest::HasStone(int k) const { return !Form->Image(k)->IsEmpty(); }
QString BoardTest::Panel(int i) const { return Form->StatusBar1()->PanelText(i); }
QString BoardTest::Edit1() const { return Form->Edit1()->text(); }
QString BoardTest::Edit2() const { return Form->Edit2()->text(); }

}  // namespace miretoka::test
