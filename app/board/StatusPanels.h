#pragma once
// StatusBar1 of a board window: panels of fixed widths, the last one taking
// the rest of the bar; bold navy text.
#include <QStatusBar>
#include <QString>
#include <vector>

class QLabel;

namespace miretoka {

class TStatusPanels : public QStatusBar {
  Q_OBJECT
public:
  // One entry per panel: its width and whether its text is centred.
  struct TPanelSpec {
    int Width;
    bool Centred;
  };
  TStatusPanels(QWidget *parent, const std::vector<TPanelSpec> &panels);
  QString PanelText(int index) const;
  void SetPanelText(int index, const QString &text);
  QLabel *Panel(int index) const { return FPanels.at(static_cast<std::size_t>(index)); }
  int PanelCount() const { return static_cast<int>(FPanels.size()); }

private:
  std::vector<QLabel *> FPanels;
};

}  // namespace miretoka
