// A missing or unreadable stone picture or sound: an error box with a clear
// message, the action stops, and the program goes on.
#include <QFile>

#include "BoardTestSupport.h"
#include "app/board/PlayState.h"

namespace miretoka::test {
namespace {

using namespace play;

class MediaFailureTest : public BoardTest {
protected:
  QString File(const char *name) const { return Dir.path() + QLatin1Char('/') + QString::fromLatin1(name); }
  void Garble(const char *name) {
    QFile f(File(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("this is not a picture or a sound");
  }
};

TEST_F(MediaFailureTest, MissingBlackStonePictureShowsErrorAndGoesOn) {
  ASSERT_TRUE(QFile::remove(File("stB.bmp")));
  Click(P(3, 3));
  ASSERT_EQ(Messages->Errors.size(), 1);
  EXPECT_TRUE(Messages->Errors[0].contains(QStringLiteral("stB.bmp")));
  EXPECT_TRUE(Messages->Errors[0].contains(QStringLiteral("見つかりません")));
  EXPECT_FALSE(HasStone(P(3, 3)));
  // White stones still work, and so does black once the picture is back.
  Click(P(4, 4), Qt::RightButton);
  EXPECT_TRUE(HasStone(P(4, 4)));
  WriteStonePicture(File("stB.bmp"), true);
  Click(P(5, 5));
  EXPECT_TRUE(HasStone(P(5, 5)));
  EXPECT_EQ(Messages->Errors.size(), 1);
}

TEST_F(MediaFailureTest, UnreadableWhiteStonePictureShowsError) {
  Garble("stW.bmp");
  Click(P(3, 3), Qt::RightButton);
  ASSERT_EQ(Messages->Errors.size(), 1);
  EXPECT_TRUE(Messages->Errors[0].contains(QStringLiteral("stW.bmp")));
  EXPECT_TRUE(Messages->Errors[0].contains(QStringLiteral("読み込めません")));
}

TEST_F(MediaFailureTest, MissingClickSoundStopsTheMoveBeforeTheTurnPasses) {
  Form->RadioButton1()->setChecked(true);
  ASSERT_EQ(CurrentColor, 2);  // "交互" passed the turn from black's start
  Form->RadioButton2()->setChecked(true);
  Form->RadioButton1()->setChecked(true);
  ASSERT_EQ(CurrentColor, 1);
  ASSERT_TRUE(QFile::remove(File("Oto1.wav")));
  Click(P(3, 3));
  ASSERT_EQ(Messages->Errors.size(), 1);
  EXPECT_TRUE(Messages->Errors[0].contains(QStringLiteral("Oto1.wav")));
  EXPECT_TRUE(HasStone(P(3, 3)));  // the stone was drawn before the sound
  EXPECT_EQ(CurrentColor, 1);       // the rest of the action did not run
  EXPECT_EQ(Sounds(), 0);
}

TEST_F(MediaFailureTest, SoundThatIsNotWaveIsRefused) {
  Garble("Oto2.wav");
  Form->PlayFeedback(0);
  EXPECT_THROW(Form->PlayFeedback(1), EMediaError);
  EXPECT_EQ(Sounds(), 1);
  // Through a handler the failure becomes an error box.
  Form->RadioButton1()->setChecked(true);
  ASSERT_TRUE(QFile::remove(File("Oto1.wav")));
  Press(7);  // nothing to take back: the refusal sound is missing
  ASSERT_EQ(Messages->Errors.size(), 1);
  EXPECT_TRUE(Messages->Errors[0].contains(QStringLiteral("Oto1.wav")));
  EXPECT_EQ(Panel(0), QStringLiteral("もう戻せません。"));
}

TEST_F(MediaFailureTest, MissingPictureDuringTakeBackLeavesTheCaptureToRetry) {
  Form->RadioButton1()->setChecked(true);
  Form->RadioButton2()->setChecked(true);
  // White stone at 2 captured by black on 1... set up in free mode.
  Click(P(0, 1), Qt::RightButton);  // white
  Click(P(0, 0));                   // black
  Click(P(1, 1));
  Click(P(0, 2));                   // captures the white stone
  ASSERT_EQ(Cell(P(0, 1)), 0);
  ASSERT_EQ(Edit1(), QStringLiteral("1"));
  // A take-back puts back the picture that was shown, so it needs no file.
  ASSERT_TRUE(QFile::remove(File("stW.bmp")));
  Press(7);
  EXPECT_TRUE(Messages->Errors.isEmpty());
  EXPECT_EQ(Cell(P(0, 1)), 2);
  EXPECT_TRUE(HasStone(P(0, 1)));
  EXPECT_EQ(Cell(P(0, 2)), 0);
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
}

}  // namespace
}  // namespace miretoka::test
