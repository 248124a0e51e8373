#include "go/SgfReader.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "go/Point.h"
#include "go/SgfText.h"

namespace go {

namespace {

struct TRawValue {
  std::string_view Raw;  // between the brackets, escapes kept
  size_t Offset = 0;     // of the "["
};

struct TRawNodeProperty {
  std::string Id;
  size_t Offset = 0;
  std::vector<TRawValue> Values;
};

class TParser {
 public:
  explicit TParser(std::string_view text) : FText(text) {}

  std::vector<TGameTree> Collection();

 private:
  std::string_view FText;
  size_t FPos = 0;
  size_t FNodes = 0;

  [[noreturn]] void Fail(TSgfErrorCode code, size_t offset, const std::string &what) const;
  void SkipSpace() {
    while (FPos < FText.size() && (FText[FPos] == ' ' || FText[FPos] == '\n' || FText[FPos] == '\t' ||
                                   FText[FPos] == '\r' || FText[FPos] == '\v' || FText[FPos] == '\f'))
      ++FPos;
  }
  void Tree(TGameTree &tree);
  std::vector<TRawNodeProperty> NodeProperties();
  void Interpret(TGameTree &tree, TNode &node, bool root, std::vector<TRawNodeProperty> &properties);
  int Point(const TRawNodeProperty &p, const TRawValue &v, int size) const;
  void PointList(const TRawNodeProperty &p, int size, std::vector<int> &into) const;
};

// "12行5列" for a byte offset: lines from 1, columns in characters from 1.
std::pair<int, int> Place(std::string_view text, size_t offset) {
  int line = 1, column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      ++line;
      column = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++column;
    }
  }
  return {line, column};
}

void TParser::Fail(TSgfErrorCode code, size_t offset, const std::string &what) const {
  auto [line, column] = Place(FText, offset);
  throw ESgfError(code, line, column, std::to_string(line) + "行" + std::to_string(column) + "列: " + what);
}

// Where the first tree starts: a "(" followed (after white space) by ";". Found in one pass,
// so that a long note full of brackets before the record costs no more than reading it.
size_t FirstTree(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '(') continue;
    size_t j = i + 1;
    while (j < text.size() && (text[j] == ' ' || text[j] == '\n' || text[j] == '\t' || text[j] == '\r')) ++j;
    if (j < text.size() && text[j] == ';') return i;
    i = j - 1;
  }
  return std::string_view::npos;
}

std::vector<TGameTree> TParser::Collection() {
  std::vector<TGameTree> trees;
  // Text before the first tree (mail headers, notes, stray brackets) is passed over.
  const size_t first = FirstTree(FText);
  if (first == std::string_view::npos) {
    const size_t open = FText.find('(');
    if (open == std::string_view::npos)
      Fail(TSgfErrorCode::NotSgf, 0, "棋譜（SGF）が見つかりません。ファイルに「(;」がありません。");
    FPos = open + 1;
    SkipSpace();
    if (FPos >= FText.size()) Fail(TSgfErrorCode::Truncated, open, "棋譜が「(」の直後で終わっています。");
    Fail(TSgfErrorCode::BadProperty, FPos, "「(」の後に「;」がありません。");
  }
  FPos = first;
  for (;;) {
    // Text between and after the trees is passed over.
    while (FPos < FText.size() && FText[FPos] != '(' && FText[FPos] != ')') ++FPos;
    if (FPos >= FText.size()) break;
    if (FText[FPos] == ')') Fail(TSgfErrorCode::Unbalanced, FPos, "対応する「(」のない「)」があります。");
    const size_t open = FPos;
    ++FPos;
    SkipSpace();
    if (FPos >= FText.size() || FText[FPos] != ';') {
      if (FPos >= FText.size()) Fail(TSgfErrorCode::Truncated, open, "棋譜が「(」の直後で終わっています。");
      Fail(TSgfErrorCode::BadProperty, FPos, "「(」の後に「;」がありません。");
    }
    FPos = open;
    trees.emplace_back();
    Tree(trees.back());
  }
  if (trees.empty()) Fail(TSgfErrorCode::NotSgf, 0, "棋譜（SGF）が見つかりません。ファイルに「(;」がありません。");
  return trees;
}

void TParser::Tree(TGameTree &tree) {
  struct TFrame {
    TNode *Parent;  // where the variation hangs; null for the tree itself
    TNode *Last;    // last node of its sequence so far
    size_t Open;    // offset of its "("
  };
  std::vector<TFrame> stack;
  stack.push_back({nullptr, nullptr, FPos});
  ++FPos;
  for (;;) {
    SkipSpace();
    if (FPos >= FText.size())
      Fail(TSgfErrorCode::Truncated, stack.back().Open,
           "棋譜が途中で終わっています。この「(」に対応する「)」がありません。");
    const char c = FText[FPos];
    TFrame &top = stack.back();
    if (c == ';') {
      if (++FNodes > MaxNodes) Fail(TSgfErrorCode::TooLarge, FPos, "節が多すぎます（" + std::to_string(MaxNodes) + "まで）。");
      const bool root = top.Parent == nullptr && top.Last == nullptr && stack.size() == 1;
      TNode *node = root ? tree.Root() : tree.AddChild(top.Last ? top.Last : top.Parent);
      top.Last = node;
      ++FPos;
      std::vector<TRawNodeProperty> properties = NodeProperties();
      Interpret(tree, *node, root, properties);
    } else if (c == '(') {
      if (!top.Last) Fail(TSgfErrorCode::BadProperty, FPos, "節のない変化があります。");
      if (static_cast<int>(stack.size()) >= MaxVariationDepth)
        Fail(TSgfErrorCode::TooDeep, FPos, "変化の入れ子が深すぎます（" + std::to_string(MaxVariationDepth) + "段まで）。");
      stack.push_back({top.Last, nullptr, FPos});
      ++FPos;
    } else if (c == ')') {
      if (!top.Last) Fail(TSgfErrorCode::BadProperty, FPos, "節のない変化があります。");
      ++FPos;
      stack.pop_back();
      if (stack.empty()) return;
    } else {
      Fail(TSgfErrorCode::BadProperty, FPos,
           std::string("ここに「") + (static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : std::string("…")) +
               "」は置けません（節は「;」で始まります）。");
    }
  }
}

std::vector<TRawNodeProperty> TParser::NodeProperties() {
  std::vector<TRawNodeProperty> properties;
  for (;;) {
    SkipSpace();
    if (FPos >= FText.size()) return properties;  // the caller reports the missing ")"
    const char c = FText[FPos];
    if (c == ';' || c == '(' || c == ')') return properties;
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!letter) {
      if (c == '[') Fail(TSgfErrorCode::BadProperty, FPos, "名前のない値「[」があります。");
      Fail(TSgfErrorCode::BadProperty, FPos,
           std::string("ここに「") + (static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : std::string("…")) +
               "」は置けません。");
    }
    TRawNodeProperty p;
    p.Offset = FPos;
    while (FPos < FText.size() && ((FText[FPos] >= 'A' && FText[FPos] <= 'Z') || (FText[FPos] >= 'a' && FText[FPos] <= 'z'))) {
      if (FText[FPos] >= 'A' && FText[FPos] <= 'Z') p.Id += FText[FPos];
      ++FPos;
    }
    if (p.Id.empty()) Fail(TSgfErrorCode::BadProperty, p.Offset, "大文字のない名前の属性があります。");
    for (;;) {
      SkipSpace();
      if (FPos >= FText.size() || FText[FPos] != '[') break;
      const size_t open = FPos++;
      const size_t start = FPos;
      while (FPos < FText.size() && FText[FPos] != ']') FPos += FText[FPos] == '\\' ? 2 : 1;
      if (FPos >= FText.size())
        Fail(TSgfErrorCode::Truncated, open, p.Id + " の値の「]」がないまま棋譜が終わっています。");
      p.Values.push_back({FText.substr(start, FPos - start), open});
      ++FPos;
    }
    if (p.Values.empty()) {
      if (FPos >= FText.size()) Fail(TSgfErrorCode::Truncated, p.Offset, "棋譜が属性 " + p.Id + " の途中で終わっています。");
      Fail(TSgfErrorCode::BadProperty, p.Offset, "属性 " + p.Id + " に値「[…]」がありません。");
    }
    properties.push_back(std::move(p));
  }
}

// Text values: escapes resolved, soft line breaks removed, other white space a blank; line
// breaks kept only in Text (`keepBreaks`), a blank in SimpleText.
std::string TextValue(std::string_view raw, bool keepBreaks) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\\') {
      if (++i >= raw.size()) break;
      c = raw[i];
      if (c == '\n') continue;  // soft line break
    }
    if (c == '\n') out += keepBreaks ? '\n' : ' ';
    else if (c == '\t' || c == '\v' || c == '\f' || c == '\r') out += ' ';
    else out += c;
  }
  return out;
}

// Splits a compose value at its first unescaped ':'; false when there is none.
bool SplitCompose(std::string_view raw, std::string_view &first, std::string_view &second) {
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\') {
      ++i;
      continue;
    }
    if (raw[i] == ':') {
      first = raw.substr(0, i);
      second = raw.substr(i + 1);
      return true;
    }
  }
  return false;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\n' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool Number(std::string_view s, int &value) {
  s = Trim(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  return !s.empty() && error == std::errc() && end == s.data() + s.size();
}

std::string Shown(std::string_view raw) {
  std::string s(raw.substr(0, 20));
  for (char &c : s)
    if (c == '\n') c = ' ';
  return s;
}

int TParser::Point(const TRawNodeProperty &p, const TRawValue &v, int size) const {
  if (auto point = PointFromSgf(size, Trim(v.Raw))) return *point;
  Fail(TSgfErrorCode::BadPoint, v.Offset,
       p.Id + "[" + Shown(v.Raw) + "] の座標は" + std::to_string(size) + "路盤の上にありません。");
}

void TParser::PointList(const TRawNodeProperty &p, int size, std::vector<int> &into) const {
  for (const TRawValue &v : p.Values) {
    if (Trim(v.Raw).empty()) continue;  // an empty list
    std::string_view a, b;
    if (!SplitCompose(v.Raw, a, b)) {
      into.push_back(Point(p, v, size));
      continue;
    }
    const int from = Point(p, {a, v.Offset}, size);
    const int to = Point(p, {b, v.Offset}, size);
    const int c0 = std::min(ColumnOf(size, from), ColumnOf(size, to)), c1 = std::max(ColumnOf(size, from), ColumnOf(size, to));
    const int r0 = std::min(RowOf(size, from), RowOf(size, to)), r1 = std::max(RowOf(size, from), RowOf(size, to));
    for (int c = c0; c <= c1; ++c)
      for (int r = r0; r <= r1; ++r) into.push_back(PointOf(size, c, r));
  }
}

void TParser::Interpret(TGameTree &tree, TNode &node, bool root, std::vector<TRawNodeProperty> &properties) {
  auto keep = [&node](const TRawNodeProperty &p) {
    TRawProperty raw{p.Id, {}};
    for (const TRawValue &v : p.Values) raw.Values.emplace_back(v.Raw);
    node.Unknown.push_back(std::move(raw));
  };
  if (root) {
    // The board size first: the points of every other property depend on it.
    for (const TRawNodeProperty &p : properties) {
      if (p.Id == "SZ") {
        std::string_view value = p.Values.front().Raw, columns, rows;
        int size = 0, other = 0;
        if (SplitCompose(value, columns, rows)) {
          if (!Number(columns, size) || !Number(rows, other))
            Fail(TSgfErrorCode::BadValue, p.Values.front().Offset, "SZ[" + Shown(value) + "] は盤の大きさではありません。");
          if (size != other)
            Fail(TSgfErrorCode::BadSize, p.Values.front().Offset,
                 "長方形の盤（" + Shown(value) + "）の棋譜は開けません。開けるのは19路・13路・9路盤です。");
        } else if (!Number(value, size)) {
          Fail(TSgfErrorCode::BadValue, p.Values.front().Offset, "SZ[" + Shown(value) + "] は盤の大きさではありません。");
        }
        if (size != 9 && size != 13 && size != 19)
          Fail(TSgfErrorCode::BadSize, p.Values.front().Offset,
               std::to_string(size) + "路盤の棋譜は開けません。開けるのは19路・13路・9路盤です。");
        tree.Info.Size = size;
      } else if (p.Id == "GM") {
        int game = 0;
        if (!Number(p.Values.front().Raw, game) || game != 1)
          Fail(TSgfErrorCode::NotGo, p.Values.front().Offset,
               "囲碁の棋譜ではありません（GM[" + Shown(p.Values.front().Raw) + "]）。");
      }
    }
  }
  const int size = tree.Info.Size;
  for (const TRawNodeProperty &p : properties) {
    const std::string &id = p.Id;
    const std::string_view first = p.Values.front().Raw;
    if (id == "B" || id == "W") {
      node.MoveColor = id == "B" ? 1 : 2;
      const std::string_view v = Trim(first);
      node.MovePoint = v.empty() || (v == "tt" && size <= 19) ? 0 : Point(p, p.Values.front(), size);
    } else if (id == "AB") {
      PointList(p, size, node.AddBlack);
    } else if (id == "AW") {
      PointList(p, size, node.AddWhite);
    } else if (id == "AE") {
      PointList(p, size, node.AddEmpty);
    } else if (id == "TR") {
      PointList(p, size, node.Triangles);
    } else if (id == "SQ") {
      PointList(p, size, node.Squares);
    } else if (id == "CR") {
      PointList(p, size, node.Circles);
    } else if (id == "MA") {
      PointList(p, size, node.Crosses);
    } else if (id == "C") {
      if (!node.Comment.empty()) node.Comment += '\n';
      node.Comment += TextValue(first, true);
    } else if (id == "LB") {
      for (const TRawValue &v : p.Values) {
        std::string_view where, text;
        if (!SplitCompose(v.Raw, where, text))
          Fail(TSgfErrorCode::BadValue, v.Offset, "LB[" + Shown(v.Raw) + "] に「:」がありません。");
        node.Labels.push_back({Point(p, {where, v.Offset}, size), TextValue(text, false)});
      }
    } else if ((id == "TE" || id == "BM" || id == "MN") && p.Values.size() == 1) {
      int value = 0;
      const bool ok = Number(first, value) && (id == "MN" ? value > 0 : (value == 1 || value == 2));
      if (!ok) keep(p);  // a value out of range is kept as it was rather than refused
      else (id == "TE" ? node.Tesuji : id == "BM" ? node.BadMove : node.MoveNumber) = value;
    } else if (root && (id == "SZ" || id == "GM" || id == "FF" || id == "CA" || id == "AP")) {
      // Read above or describing the file only; the writer gives its own.
    } else if (root && id == "HA" && p.Values.size() == 1) {
      int value = 0;
      if (Number(first, value) && value >= 0) tree.Info.Handicap = value;
      else keep(p);
    } else if (root && (id == "KM" || id == "PB" || id == "PW" || id == "DT" || id == "RE" || id == "GN") &&
               p.Values.size() == 1) {
      std::string text = TextValue(first, false);
      if (id == "KM") text = std::string(Trim(text));
      (id == "KM" ? tree.Info.Komi : id == "PB" ? tree.Info.BlackName : id == "PW" ? tree.Info.WhiteName
       : id == "DT" ? tree.Info.Date : id == "RE" ? tree.Info.Result : tree.Info.GameName) = text;
    } else {
      keep(p);
    }
  }
}

}  // namespace

std::string SgfTextValue(std::string_view raw, bool keepBreaks) { return TextValue(raw, keepBreaks); }
bool SplitComposeValue(std::string_view raw, std::string_view &first, std::string_view &second) {
  return SplitCompose(raw, first, second);
}

std::vector<TGameTree> ParseSgfText(std::string_view text) {
  if (text.size() > MaxBytes) throw ESgfError(TSgfErrorCode::TooLarge, 0, 0, "棋譜が大きすぎます。");
  return TParser(text).Collection();
}

TSgfRecord ReadSgf(std::string_view bytes) {
  if (bytes.size() > MaxBytes) throw ESgfError(TSgfErrorCode::TooLarge, 0, 0, "棋譜が大きすぎます。");
  TDecodedText decoded = DecodeRecordBytes(bytes);
  TSgfRecord record;
  record.Trees = ParseSgfText(decoded.Text);
  record.Charset = decoded.Charset;
  record.Warning = decoded.Warning;
  return record;
}

TSgfRecord ReadSgfFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ESgfError(TSgfErrorCode::FileUnreadable, 0, 0, "ファイル " + path + " を開けません。");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw ESgfError(TSgfErrorCode::FileUnreadable, 0, 0, "ファイル " + path + " を読めません。");
  return ReadSgf(bytes.str());
}

}  // namespace go
