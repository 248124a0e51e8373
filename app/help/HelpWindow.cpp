#include "app/help/HelpWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/help/HelpPageHtml.h"

namespace miretoka {
namespace {
// Going back further than this is not useful to a reader; it keeps the list bounded.
constexpr int kHistoryLimit = 100;
}  // namespace

HelpWindow::HelpWindow(HelpFile file, QWidget *parent)
    : QWidget(parent, Qt::Window), file_(std::move(file)) {
  setWindowTitle(QStringLiteral("ミレトカ ヘルプ"));
  setObjectName(QStringLiteral("HelpWindow"));
  resize(600, 560);

  contentsButton_ = new QPushButton(QStringLiteral("目次"), this);
  backButton_ = new QPushButton(QStringLiteral("戻る"), this);
  backButton_->setEnabled(false);
  browser_ = new QTextBrowser(this);
  // Links name topics of the help file, not files or web pages: every click comes here.
  browser_->setOpenLinks(false);
  browser_->setOpenExternalLinks(false);
  // Help is read at length: a size above the window font's 12 px is easier on the eyes.
  QFont readable = browser_->font();
  readable.setPixelSize(15);
  browser_->setFont(readable);

  auto *buttons = new QHBoxLayout;
  buttons->addWidget(contentsButton_);
  buttons->addWidget(backButton_);
  buttons->addStretch(1);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(browser_, 1);

  connect(contentsButton_, &QPushButton::clicked, this, &HelpWindow::showContents);
  connect(backButton_, &QPushButton::clicked, this, &HelpWindow::goBack);
  connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::onAnchorClicked);

  display({&file_.contents(), QString()}, false);
}

void HelpWindow::setHelpFile(HelpFile file) {
  file_ = std::move(file);
  history_.clear();
  backButton_->setEnabled(false);
  currentName_.clear();
}

void HelpWindow::showContents() { display({&file_.contents(), QString()}, true); }

void HelpWindow::showContext(int contextNumber) { display(file_.pageForContext(contextNumber), true); }

void HelpWindow::followLink(const QString &href) { display(file_.pageForLink(href), true); }

void HelpWindow::onAnchorClicked(const QUrl &url) { followLink(url.toString()); }

void HelpWindow::goBack() {
  if (history_.isEmpty()) return;
  const Visit visit = history_.takeLast();
  const HelpTopic *topic = file_.findByName(visit.name);
  display({topic ? topic : &file_.contents(), visit.note}, false);
}

void HelpWindow::display(const HelpPage &page, bool remember) {
  const HelpTopic *topic = page.topic ? page.topic : &file_.contents();
  if (remember && !currentName_.isEmpty() &&
      (currentName_ != topic->name || currentNote_ != page.note)) {
    history_.append({currentName_, currentNote_});
    if (history_.size() > kHistoryLimit) history_.removeFirst();
  }
  currentName_ = topic->name;
  currentNote_ = page.note;
  browser_->setHtml(RenderHelpPage(file_, {topic, page.note}));
  backButton_->setEnabled(!history_.isEmpty());
}

}  // namespace miretoka
