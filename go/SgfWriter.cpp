#include "go/SgfWriter.h"

#include "go/Point.h"

namespace go {

namespace {

// Columns of a line as a reader sees them: UTF-8 continuation bytes take no column; wide
// (CJK) characters are counted as two, as an editor shows them.
int Width(const std::string &s) {
  int w = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) == 0x80) continue;
    w += c >= 0xE0 ? 2 : 1;
  }
  return w;
}

class TWriter {
 public:
  std::string Out;

  void Tree(const TGameTree &tree);

 private:
  int FColumn = 0;

  void Put(const std::string &text) {
    Out += text;
    FColumn += Width(text);
  }
  void NewLine() {
    if (FColumn == 0 || Out.back() == '(') return;  // a node stays beside its "("
    Out += '\n';
    FColumn = 0;
  }
  // A property on the current line, or on the next one when it would run long.
  void Property(const std::string &id, const std::vector<std::string> &values);
  void TextProperty(const std::string &id, const std::string &text);
  void Points(const std::string &id, int size, const std::vector<int> &points);
  void Node(const TGameTree &tree, const TNode &node, bool root);
};

void TWriter::Property(const std::string &id, const std::vector<std::string> &values) {
  std::string first = id + "[" + values.front() + "]";
  if (FColumn > 0 && FColumn + Width(first) > LineWidth) NewLine();
  Put(first);
  for (size_t i = 1; i < values.size(); ++i) {
    const std::string v = "[" + values[i] + "]";
    if (FColumn + Width(v) > LineWidth) NewLine();
    Put(v);
  }
}

void TWriter::TextProperty(const std::string &id, const std::string &text) {
  // A comment starts on a line of its own and is broken where a line would run long: at its
  // own line ends, or with a soft line break between two characters (never inside an escape).
  const std::string escaped = EscapeValue(text);
  if (Width(id + "[" + escaped + "]") + FColumn <= LineWidth && escaped.find('\n') == std::string::npos) {
    Put(id + "[" + escaped + "]");
    return;
  }
  NewLine();
  Put(id + "[");
  size_t i = 0;
  while (i < escaped.size()) {
    const unsigned char c = static_cast<unsigned char>(escaped[i]);
    size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    if (c == '\\') length = 2;  // an escape and its character stay together
    if (escaped[i] == '\n') {
      Out += '\n';
      FColumn = 0;
      ++i;
      continue;
    }
    const std::string piece = escaped.substr(i, length);
    if (FColumn + Width(piece) > LineWidth) {
      Out += "\\\n";
      FColumn = 0;
    }
    Put(piece);
    i += length;
  }
  Put("]");
}

void TWriter::Points(const std::string &id, int size, const std::vector<int> &points) {
  if (points.empty()) return;
  std::vector<std::string> values;
  for (int p : points) values.push_back(SgfLetters(size, p));
  Property(id, values);
}

void TWriter::Node(const TGameTree &tree, const TNode &node, bool root) {
  const int size = tree.Info.Size;
  const bool large = node.HasSetup() || node.HasMarkup() || !node.Comment.empty() || root;
  if (large) NewLine();
  if (FColumn > 0 && FColumn + 6 > LineWidth) NewLine();
  Put(";");
  if (root) {
    const TGameInfo &i = tree.Info;
    Put("FF[4]GM[1]CA[UTF-8]");
    Put(std::string("AP[") + WriterApplication + "]");
    Put("SZ[" + std::to_string(i.Size) + "]");
    if (i.Handicap > 0) Property("HA", {std::to_string(i.Handicap)});
    if (!i.Komi.empty()) Property("KM", {EscapeValue(i.Komi)});
    if (!i.GameName.empty()) Property("GN", {EscapeValue(i.GameName)});
    if (!i.BlackName.empty()) Property("PB", {EscapeValue(i.BlackName)});
    if (!i.WhiteName.empty()) Property("PW", {EscapeValue(i.WhiteName)});
    if (!i.Date.empty()) Property("DT", {EscapeValue(i.Date)});
    if (!i.Result.empty()) Property("RE", {EscapeValue(i.Result)});
  }
  if (node.HasMove()) {
    const std::string where = node.MovePoint > 0 ? SgfLetters(size, node.MovePoint) : std::string();
    Property(node.MoveColor == 1 ? "B" : "W", {where});
  }
  if (node.MoveNumber > 0) Property("MN", {std::to_string(node.MoveNumber)});
  Points("AB", size, node.AddBlack);
  Points("AW", size, node.AddWhite);
  Points("AE", size, node.AddEmpty);
  if (node.Tesuji > 0) Property("TE", {std::to_string(node.Tesuji)});
  if (node.BadMove > 0) Property("BM", {std::to_string(node.BadMove)});
  if (!node.Labels.empty()) {
    std::vector<std::string> values;
    for (const TLabel &l : node.Labels) values.push_back(SgfLetters(size, l.Point) + ":" + EscapeValue(l.Text, true));
    Property("LB", values);
  }
  Points("TR", size, node.Triangles);
  Points("SQ", size, node.Squares);
  Points("CR", size, node.Circles);
  Points("MA", size, node.Crosses);
  for (const TRawProperty &p : node.Unknown)
    if (!p.Values.empty()) Property(p.Id, p.Values);
  if (!node.Comment.empty()) TextProperty("C", node.Comment);
  if (large) NewLine();
}

void TWriter::Tree(const TGameTree &tree) {
  // Iterative walk, so that neither a long main line nor deep variations use the stack.
  enum class TKind { Open, Node, Close };
  struct TStep {
    TKind Kind;
    const TNode *Node;
  };
  std::vector<TStep> stack{{TKind::Close, nullptr}, {TKind::Node, tree.Root()}, {TKind::Open, nullptr}};
  while (!stack.empty()) {
    const TStep step = stack.back();
    stack.pop_back();
    if (step.Kind == TKind::Open) {
      NewLine();  // every variation starts on a line of its own
      Put("(");
    } else if (step.Kind == TKind::Close) {
      Put(")");
    } else {
      const TNode *n = step.Node;
      Node(tree, *n, n == tree.Root());
      if (n->Children.size() == 1) {
        stack.push_back({TKind::Node, n->Children.front()});
      } else {
        for (size_t i = n->Children.size(); i-- > 0;) {
          stack.push_back({TKind::Close, nullptr});
          stack.push_back({TKind::Node, n->Children[i]});
          stack.push_back({TKind::Open, nullptr});
        }
      }
    }
  }
  NewLine();
}

}  // namespace

std::string EscapeValue(const std::string &text, bool compose) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\' || c == ']' || (compose && c == ':')) out += '\\';
    out += c;
  }
  return out;
}

std::string WriteSgf(const TGameTree &tree) {
  TWriter w;
  w.Tree(tree);
  return w.Out;
}

std::string WriteSgf(const std::vector<TGameTree> &trees) {
  std::string out;
  for (const TGameTree &t : trees) out += WriteSgf(t);
  return out;
}

}  // namespace go
