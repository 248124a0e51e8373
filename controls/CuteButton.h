#pragma once
// TCuteButton: the custom-drawn push button of the board windows.
// (Minimal first cut: caption and click. The full control replaces this file.)
#include <QWidget>
#include <functional>

class TCuteButton : public QWidget {
  Q_OBJECT
public:
  explicit TCuteButton(QWidget *parent = nullptr);

  QString Caption() const { return FCaption; }
  void SetCaption(const QString &caption);

  // The click handler; the board windows assign it once at creation.
  std::function<void(TCuteButton *sender)> OnClick;

  virtual void Click();

protected:
  void paintEvent(QPaintEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  QString FCaption;
};
