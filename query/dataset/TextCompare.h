#pragma once
// Name comparison of the components: names match without regard to ASCII case and ignoring
// surrounding blanks.
#include <string>
#include <vector>

namespace kura {

std::string TrimText(const std::string &text);
bool SameText(const std::string &a, const std::string &b);
std::string UpperText(const std::string &text);
// "TES;PST;DTX" -> {"TES", "PST", "DTX"} (blanks around names dropped, empty parts skipped).
std::vector<std::string> SplitFieldList(const std::string &list);

}  // namespace kura
