#include "OutputCompare.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace kura::bench {

namespace {

std::string NormalisedField(const std::string &field) {
  if (field.empty()) return field;
  const char *start = field.c_str();
  char *end = nullptr;
  const double value = std::strtod(start, &end);
  if (end != start + field.size()) return field;
  char text[40];
  std::snprintf(text, sizeof text, "%.9g", value == 0 ? 0.0 : value);
  return text;
}

std::vector<std::string> NormalisedLines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string out;
    size_t from = 0;
    for (;;) {
      const size_t tab = line.find('\t', from);
      out += NormalisedField(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
      if (tab == std::string::npos) break;
      out += '\t';
      from = tab + 1;
    }
    lines.push_back(std::move(out));
  }
  return lines;
}

}  // namespace

std::string CompareOutputs(const std::string &kura, const std::string &sqlite, bool ordered) {
  std::vector<std::string> a = NormalisedLines(kura), b = NormalisedLines(sqlite);
  if (!ordered) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
  }
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (a[i] != b[i])
      return "line " + std::to_string(i + 1) + (ordered ? "" : " (sorted)") + ": kura '" + a[i].substr(0, 120) +
             "', sqlite '" + b[i].substr(0, 120) + "'";
  if (a.size() != b.size())
    return "kura printed " + std::to_string(a.size()) + " lines, sqlite " + std::to_string(b.size());
  return {};
}

}  // namespace kura::bench
