#pragma once
// The help window: a non-modal window that shows one help topic at a time.
#include <QList>
#include <QString>
#include <QWidget>

#include "app/help/HelpFile.h"

class QPushButton;
class QTextBrowser;
class QUrl;

namespace miretoka {

class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(HelpFile file, QWidget *parent = nullptr);

  // Replaces the file shown (after it was read again); the history is forgotten.
  void setHelpFile(HelpFile file);

  void showContents();
  // The topic with this context number, or the contents page with a note.
  void showContext(int contextNumber);
  // Follows a link as a click on it would.
  void followLink(const QString &href);

  QString currentTopicName() const { return currentName_; }
  QString currentNote() const { return currentNote_; }
  QTextBrowser *browser() const { return browser_; }
  QPushButton *contentsButton() const { return contentsButton_; }
  QPushButton *backButton() const { return backButton_; }

 public slots:
  void goBack();

 private slots:
  void onAnchorClicked(const QUrl &url);

 private:
  struct Visit {
    QString name;
    QString note;
  };
  void display(const HelpPage &page, bool remember);

  HelpFile file_;
  QTextBrowser *browser_ = nullptr;
  QPushButton *contentsButton_ = nullptr;
  QPushButton *backButton_ = nullptr;
  QString currentName_;
  QString currentNote_;
  QList<Visit> history_;  // pages shown before the current one, oldest first
};

}  // namespace miretoka
