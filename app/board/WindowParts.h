#pragma once
// Controls that every board window carries beside its board: the
// captured-stones row, the three play-mode buttons, menu items and command
// buttons whose handlers run to their end with failures shown in an error box.
#include <QColor>
#include <QPoint>
#include <QString>
#include <array>
#include <functional>
#include <map>

class QAction;
class QGroupBox;
class QLineEdit;
class QMenu;
class QRadioButton;
class QWidget;
class TCuteButton;

namespace miretoka {

// Background of the board windows and of their play-mode box.
inline QColor WindowColor() { return QColor(240, 240, 255); }
inline QColor GroupBoxColor() { return QColor(250, 235, 235); }

// "アゲ石：", "黒番" Edit1, "白番" Edit2 in one row from `at`; both boxes show "0".
struct TCapturedRow {
  QLineEdit *Edit1 = nullptr;
  QLineEdit *Edit2 = nullptr;
};
TCapturedRow BuildCapturedRow(QWidget *parent, QPoint at);

// GroupBox1 with RadioButton1 "交互", RadioButton2 "自由", RadioButton3 "終局"
// at `place` (left, top; 192 x 44), none checked. A button's handler runs in
// `window` when the button goes from unchecked to checked, whether the user
// clicked it or the program checked it.
struct TPlayModeBox {
  QGroupBox *GroupBox1 = nullptr;
  std::array<QRadioButton *, 3> Buttons{};
};
TPlayModeBox BuildPlayModeBox(QWidget *parent, QWidget *window, QPoint place,
                              const std::array<std::function<void()>, 3> &handlers);

// A menu item with its object name, registered in `items`; choosing it runs
// `handler` (if any) in `window`.
QAction *AddMenuItem(QWidget *menu, const char *name, const QString &caption, QWidget *window,
                     std::function<void()> handler, std::map<QString, QAction *> &items);

// CuteButton<number> on `parent`; a click runs `handler` (if any) in `window`.
TCuteButton *AddCommandButton(QWidget *parent, QWidget *window, int number, const QString &caption,
                              std::function<void()> handler);

}  // namespace miretoka
