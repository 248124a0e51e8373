#pragma once
// A list of text lines (a query's SQL) that tells its owner when it changes.
#include <functional>
#include <string>
#include <vector>

namespace kura {

class TKuraStrings {
 public:
  int Count() const { return static_cast<int>(FLines.size()); }
  const std::string &operator[](int index) const { return FLines.at(static_cast<size_t>(index)); }
  const std::vector<std::string> &Lines() const { return FLines; }
  void Clear() {
    if (FLines.empty()) return;
    FLines.clear();
    Changed();
  }
  void Add(const std::string &line) {
    FLines.push_back(line);
    Changed();
  }
  // The lines joined by line breaks.
  std::string Text() const {
    std::string text;
    for (const std::string &line : FLines) text += line + "\n";
    return text;
  }
  void SetText(const std::string &text) {
    FLines.clear();
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      FLines.push_back(line);
      start = end + 1;
    }
    Changed();
  }
  // Several changes reported as one.
  void BeginUpdate() { ++FUpdating; }
  void EndUpdate() {
    if (FUpdating > 0 && --FUpdating == 0) Changed();
  }

  std::function<void()> OnChange;

 private:
  void Changed() {
    if (FUpdating == 0 && OnChange) OnChange();
  }
  std::vector<std::string> FLines;
  int FUpdating = 0;
};

}  // namespace kura
