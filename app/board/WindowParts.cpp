#include "app/board/WindowParts.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>

#include "app/feedback/ErrorReporter.h"
#include "controls/CuteButton.h"

namespace miretoka {

TCapturedRow BuildCapturedRow(QWidget *parent, QPoint at) {
  auto addText = [&](const char *name, const QString &text, int dx, int w) {
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(at.x() + dx, at.y(), w, 20);
  };
  auto addEdit = [&](const char *name, int dx) {
    auto *e = new QLineEdit(QStringLiteral("0"), parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(at.x() + dx, at.y() - 1, 36, 22);
    e->setAlignment(Qt::AlignRight);
    return e;
  };
  TCapturedRow row;
  addText("LabelAgeishi", QStringLiteral("アゲ石："), 0, 48);
  addText("LabelBlack", QStringLiteral("黒番"), 50, 28);
  row.Edit1 = addEdit("Edit1", 78);
  addText("LabelWhite", QStringLiteral("白番"), 122, 28);
  row.Edit2 = addEdit("Edit2", 150);
  return row;
}

TPlayModeBox BuildPlayModeBox(QWidget *parent, QWidget *window, QPoint place,
                              const std::array<std::function<void()>, 3> &handlers) {
  TPlayModeBox box;
  box.GroupBox1 = new QGroupBox(parent);
  box.GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  box.GroupBox1->setGeometry(place.x(), place.y(), 192, 44);
  QPalette gp = box.GroupBox1->palette();
  gp.setColor(QPalette::Window, GroupBoxColor());
  box.GroupBox1->setPalette(gp);
  box.GroupBox1->setAutoFillBackground(true);
  const QString captions[3] = {QStringLiteral("交互"), QStringLiteral("自由"), QStringLiteral("終局")};
  for (std::size_t i = 0; i < 3; ++i) {
    auto *rb = new QRadioButton(captions[i], box.GroupBox1);
    rb->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
    rb->setGeometry(10 + 60 * static_cast<int>(i), 12, 56, 22);
    std::function<void()> handler = handlers[i];
    QObject::connect(rb, &QRadioButton::toggled, window, [window, handler](bool checked) {
      if (checked && handler) RunHandler(window, handler);
    });
    box.Buttons[i] = rb;
  }
  return box;
}

QAction *AddMenuItem(QWidget *menu, const char *name, const QString &caption, QWidget *window,
                     std::function<void()> handler, std::map<QString, QAction *> &items) {
  QAction *a = menu->addAction(caption);
  a->setObjectName(QString::fromLatin1(name));
  if (handler)
    QObject::connect(a, &QAction::triggered, window, [window, handler] { RunHandler(window, handler); });
  items[a->objectName()] = a;
  return a;
}

TCuteButton *AddCommandButton(QWidget *parent, QWidget *window, int number, const QString &caption,
                              std::function<void()> handler) {
  auto *b = new TCuteButton(parent);
  b->setObjectName(QStringLiteral("CuteButton%1").arg(number));
  b->SetCaption(caption);
  if (handler) b->OnClick = [window, handler](TCuteButton *) { RunHandler(window, handler); };
  return b;
}

}  // namespace miretoka
