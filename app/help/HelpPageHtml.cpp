#include "app/help/HelpPageHtml.h"

#include <QList>
#include <algorithm>

#include "app/help/HelpFile.h"

namespace miretoka {

QString RenderLessonList(const HelpFile &file) {
  QList<const HelpTopic *> numbered;
  for (const HelpTopic &t : file.topics())
    if (t.contextNumber) numbered.append(&t);
  if (numbered.isEmpty()) return QStringLiteral("<p>（レッスンの説明はまだありません。）</p>");
  std::sort(numbered.begin(), numbered.end(),
            [](const HelpTopic *a, const HelpTopic *b) { return *a->contextNumber < *b->contextNumber; });
  QString html = QStringLiteral("<ul>\n");
  for (const HelpTopic *t : numbered)
    html += QStringLiteral("<li><a href=\"topic:%1\">%2</a></li>\n").arg(t->name, t->title.toHtmlEscaped());
  html += QStringLiteral("</ul>");
  return html;
}

QString RenderHelpPage(const HelpFile &file, const HelpPage &page) {
  const HelpTopic &topic = page.topic ? *page.topic : file.contents();
  const bool isContents = &topic == &file.contents();
  QString html = QStringLiteral("<html><body>\n<h2>%1</h2>\n").arg(topic.title.toHtmlEscaped());
  if (!page.note.isEmpty())
    html += QStringLiteral(
                "<table width=\"100%\" cellpadding=\"6\" bgcolor=\"#fff4d6\" border=\"0\"><tr><td>"
                "%1</td></tr></table>\n")
                .arg(page.note.toHtmlEscaped());
  QString body = topic.body;
  if (isContents) body.replace(QLatin1String(HelpFile::kLessonListMarker), RenderLessonList(file));
  html += body;
  if (!isContents)
    html += QStringLiteral("\n<hr/>\n<p><a href=\"topic:%1\">目次へ戻る</a></p>")
                .arg(QLatin1String(HelpFile::kContentsName));
  html += QStringLiteral("\n</body></html>\n");
  return html;
}

}  // namespace miretoka
