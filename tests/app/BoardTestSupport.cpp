#include "BoardTestSupport.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "app/PlayState.h"
#include "app/StatusPanels.h"
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

  play::ResetAll();
  auto reporter = std::make_unique<TFakeReporter>();
  Messages = reporter.get();
  SetReporter(std::move(reporter));
  auto player = std::make_unique<TSilentPlayer>();
  Player = player.get();
  SetSoundPlayer(std::move(player));

  Form = std::make_unique<TForm2>(&DataModule);
  play::ProgramDir = dir;
  Form->ShowHelp = [this](QWidget *, const QString &file) { HelpShown.append(file); };
  Form->Terminate = [this] { ++Terminated; };
  Form->show();
  QCoreApplication::processEvents();
}

void BoardTest::TearDown() {
  Form.reset();
  SetReporter(nullptr);
  SetSoundPlayer(nullptr);
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
