#include "ShellOutput.h"

#include <algorithm>

namespace kura::shell {

namespace {

// Display width in characters (UTF-8 continuation bytes do not count; East Asian wide
// characters count as two so that Japanese text lines up).
size_t Width(const std::string &text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    width += length >= 3 ? 2 : 1;
    i += length;
  }
  return width;
}

std::string Printable(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

}  // namespace

std::string EscapeTsv(const std::string &value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

void AppendTsv(std::string &line, std::string_view value) {
  if (value.find_first_of("\t\n\r\\") == std::string_view::npos) {
    line += value;
    return;
  }
  line += EscapeTsv(std::string(value));
}

void WriteTsv(std::ostream &out, const TResultText &result, const std::string &nullText, bool header) {
  // Gathered into one text and written at once: a stream insertion per value costs more than
  // the values.
  std::string text;
  if (header) {
    for (size_t c = 0; c < result.Names.size(); ++c) {
      if (c) text += '\t';
      AppendTsv(text, result.Names[c]);
    }
    text += '\n';
  }
  for (size_t r = 0; r < result.Rows.size(); ++r) {
    for (size_t c = 0; c < result.Rows[r].size(); ++c) {
      if (c) text += '\t';
      if (result.Null[r][c]) text += nullText;
      else AppendTsv(text, result.Rows[r][c]);
    }
    text += '\n';
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void WriteTable(std::ostream &out, const TResultText &result, const std::string &nullText) {
  const size_t columns = result.Names.size();
  std::vector<std::vector<std::string>> cells;
  std::vector<size_t> widths(columns, 0);
  for (size_t c = 0; c < columns; ++c) widths[c] = Width(result.Names[c]);
  for (size_t r = 0; r < result.Rows.size(); ++r) {
    std::vector<std::string> row;
    for (size_t c = 0; c < columns; ++c) {
      row.push_back(result.Null[r][c] ? nullText : Printable(result.Rows[r][c]));
      widths[c] = std::max(widths[c], Width(row.back()));
    }
    cells.push_back(std::move(row));
  }
  auto line = [&](const std::vector<std::string> &values, bool header) {
    for (size_t c = 0; c < columns; ++c) {
      const size_t pad = widths[c] - Width(values[c]);
      const bool right = !header && c < result.RightAligned.size() && result.RightAligned[c];
      out << (c ? " | " : " ");
      if (right) out << std::string(pad, ' ') << values[c];
      else out << values[c] << std::string(c + 1 < columns ? pad : 0, ' ');
    }
    out << '\n';
  };
  line(result.Names, true);
  for (size_t c = 0; c < columns; ++c) out << (c ? "-+-" : "-") << std::string(widths[c], '-');
  out << "-\n";
  for (const auto &row : cells) line(row, false);
  out << "(" << result.Rows.size() << (result.Rows.size() == 1 ? " row)" : " rows)") << "\n";
}

std::string QuoteCsv(const std::string &value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

void WriteCsv(std::ostream &out, const TResultText &result, const std::string &nullText, bool header) {
  if (header) {
    for (size_t c = 0; c < result.Names.size(); ++c) out << (c ? "," : "") << QuoteCsv(result.Names[c]);
    out << "\n";
  }
  for (size_t r = 0; r < result.Rows.size(); ++r) {
    for (size_t c = 0; c < result.Rows[r].size(); ++c)
      out << (c ? "," : "") << QuoteCsv(result.Null[r][c] ? nullText : result.Rows[r][c]);
    out << "\n";
  }
}

}  // namespace kura::shell
