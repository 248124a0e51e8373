#include "app/board/StatusPanels.h"

#include <QLabel>

namespace miretoka {

TStatusPanels::TStatusPanels(QWidget *parent, const std::vector<TPanelSpec> &panels)
    : QStatusBar(parent) {
  setSizeGripEnabled(false);
  QFont f = font();
  f.setBold(true);
  setFont(f);
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, QColor(0, 0, 128));
  setPalette(pal);
  for (std::size_t i = 0; i < panels.size(); ++i) {
    auto *label = new QLabel(this);
    label->setObjectName(QStringLiteral("Panel%1").arg(i));
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment((panels[i].Centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    label->setFont(f);
    label->setPalette(pal);
    const bool last = i + 1 == panels.size();
    if (last) {
      label->setMinimumWidth(panels[i].Width);
      addWidget(label, 1);
    } else {
      label->setFixedWidth(panels[i].Width);
      addWidget(label, 0);
    }
    FPanels.push_back(label);
  }
}

QString TStatusPanels::PanelText(int index) const {
  return FPanels.at(static_cast<std::size_t>(index))->text();
}

void TStatusPanels::SetPanelText(int index, const QString &text) {
  FPanels.at(static_cast<std::size_t>(index))->setText(text);
}

}  // namespace miretoka
