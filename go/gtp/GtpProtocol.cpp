#include "go/gtp/GtpProtocol.h"

#include <cctype>

namespace go::gtp {

std::string FormatCommand(int id, std::string_view command) {
  std::string line;
  if (id >= 0) line = std::to_string(id) + " ";
  for (char c : command) line += (static_cast<unsigned char>(c) < 32 || c == 127) ? ' ' : c;
  line += '\n';
  return line;
}

void TResponseReader::Feed(std::string_view bytes) {
  for (char c : bytes) {
    if (c == '\r') continue;
    if (c == '\t') c = ' ';
    if ((static_cast<unsigned char>(c) < 32 && c != '\n') || c == 127) continue;
    FBuffer += c;
  }
}

bool TResponseReader::Pending() const {
  return FBuffer.find_first_not_of(" \n") != std::string::npos;
}

namespace {

std::string Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \n");
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(" \n");
  return std::string(s.substr(b, e - b + 1));
}

}  // namespace

std::optional<TResponse> TResponseReader::Next() {
  if (FBroken) return std::nullopt;
  // Empty lines between responses are passed over.
  const size_t start = FBuffer.find_first_not_of('\n');
  if (start == std::string::npos) {
    FBuffer.clear();
    return std::nullopt;
  }
  if (FBuffer[start] != '=' && FBuffer[start] != '?') {
    FBroken = true;
    const size_t eol = FBuffer.find('\n', start);
    FBrokenLine = FBuffer.substr(start, eol == std::string::npos ? std::string::npos : eol - start);
    return std::nullopt;
  }
  const size_t end = FBuffer.find("\n\n", start);
  if (end == std::string::npos) return std::nullopt;
  const std::string block = FBuffer.substr(start, end - start);
  FBuffer.erase(0, end + 2);

  TResponse r;
  r.Success = block[0] == '=';
  size_t i = 1;
  if (i < block.size() && std::isdigit(static_cast<unsigned char>(block[i]))) {
    long id = 0;
    while (i < block.size() && std::isdigit(static_cast<unsigned char>(block[i]))) {
      id = id * 10 + (block[i] - '0');
      if (id > 1'000'000'000) id = 1'000'000'000;
      ++i;
    }
    r.Id = static_cast<int>(id);
  }
  if (i < block.size() && block[i] != ' ' && block[i] != '\n') {
    FBroken = true;
    FBrokenLine = block.substr(0, block.find('\n'));
    return std::nullopt;
  }
  r.Text = Trim(std::string_view(block).substr(i));
  return r;
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\n') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

}  // namespace go::gtp
