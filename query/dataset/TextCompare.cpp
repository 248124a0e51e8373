// Name comparison of the components.
#include "query/dataset/TextCompare.h"

namespace kura {

std::string TrimText(const std::string &text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return text.substr(b, e - b);
}

std::string UpperText(const std::string &text) {
  std::string r = text;
  for (char &c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

bool SameText(const std::string &a, const std::string &b) { return UpperText(a) == UpperText(b); }

std::vector<std::string> SplitFieldList(const std::string &list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string name = TrimText(list.substr(start, end - start));
    if (!name.empty()) names.push_back(name);
    start = end + 1;
  }
  return names;
}

}  // namespace kura
