#include "query/change/SubSelectValues.h"

#include "engine/errors/EngineError.h"
#include "query/expr/Lexer.h"
#include "query/select/SelectQuery.h"

namespace kura {

std::vector<std::string> SubSelectTexts(std::string_view text) {
  struct TToken {
    uint8_t Kind;
    size_t Start;
    bool Select;
  };
  std::vector<TToken> tokens;
  TSqlLexer lexer;
  lexer.SetText(text);
  for (lexer.NextToken(); !lexer.AtEnd(); lexer.NextToken())
    tokens.push_back({lexer.TokenKind(), lexer.TokenStart(), lexer.IsKeyword("SELECT")});
  std::vector<std::string> texts;
  for (size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (tokens[i].Kind != '(' || !tokens[i + 1].Select) continue;
    int depth = 0;
    size_t end = lexer.Text().size();
    for (size_t j = i; j < tokens.size(); ++j) {
      if (tokens[j].Kind == '(') ++depth;
      else if (tokens[j].Kind == ')' && --depth == 0) {
        end = tokens[j].Start;
        break;
      }
    }
    texts.push_back(lexer.Text().substr(tokens[i + 1].Start, end - tokens[i + 1].Start));
  }
  return texts;
}

TSubSelectValues::TSubSelectValues(TDataSession &session, std::string databaseName, const TQueryStatement &statement,
                                   std::string_view text)
    : FSession(session), FDatabaseName(std::move(databaseName)) {
  const std::vector<std::string> texts = SubSelectTexts(text);
  size_t next = 0;
  for (const auto &query : statement.Queries()) {
    // Sub-selects begin in the text in the order they were created; UNION parts belong to theirs.
    if (!query->IsSubSelect || query->IsUnionPart || query->UnionMaster) continue;
    if (next < texts.size()) FEntries[query.get()].Text = texts[next];
    ++next;
  }
}

bool TSubSelectValues::Resolve(TExpToken &node) {
  auto found = FEntries.find(node.SubQuery);
  if (found == FEntries.end()) return false;
  TEntry &entry = found->second;
  TSelectQuery select(FSession, FDatabaseName);
  select.Prepare(entry.Text);
  if (select.ColumnCount() != 1) return false;
  const TTypeInfo type = select.Column(0).Type;
  node.DataType = type.Type;
  node.SubType = type.SubType;
  node.Size = type.Size;
  node.Scale = type.Scale;
  select.Execute();
  for (int64_t r = 0; r < select.RowCount(); ++r) entry.Values.push_back(select.Row(r)[0]);
  entry.Run = true;
  select.Close();
  return true;
}

bool TSubSelectValues::Matches(TEvaluator &evaluator, const TExpToken &subSelect, const TExpToken &valueNode,
                               const TExpValue &value) const {
  auto found = FEntries.find(subSelect.SubQuery);
  if (found == FEntries.end()) return false;
  for (const TExpValue &v : found->second.Values)
    if (evaluator.CompareOperands(TExpCode::Equal, valueNode, value, subSelect, v)) return true;
  return false;
}

}  // namespace kura
