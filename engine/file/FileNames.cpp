// Table file naming.
#include "engine/file/FileNames.h"

namespace kura {

std::string TrimBlanks(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return std::string(text.substr(begin, end - begin));
}

bool SameFileName(std::string_view a, std::string_view b) { return SameTextIgnoringCase(TrimBlanks(a), TrimBlanks(b)); }

std::string WithTrailingSeparator(std::string_view path) {
  std::string result(path);
  if (!result.empty() && result.back() != '/') result += '/';
  return result;
}

std::string TableFileName(std::string_view directory, std::string_view tableName, std::string_view extension) {
  std::string name = TrimBlanks(tableName);
  // Only a dot after the last separator starts an extension.
  size_t slash = name.find_last_of('/');
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.erase(dot);
  return std::string(directory) + name + std::string(extension);
}

}  // namespace kura
