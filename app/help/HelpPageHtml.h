#pragma once
// Turns a help topic into the HTML page the help window shows.
#include <QString>

namespace miretoka {
class HelpFile;
struct HelpPage;

// The page: the topic's title as a heading, the note (if any) in a box under it, the
// topic's text (in the contents page with the lesson list filled in), and a link back to
// the contents on every other page.
QString RenderHelpPage(const HelpFile &file, const HelpPage &page);

// The list that stands for the lesson-list marker: every topic with a context number,
// in increasing order of that number.
QString RenderLessonList(const HelpFile &file);
}  // namespace miretoka
