#include "LessonTables.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace lessons {

namespace {

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> cells;
    size_t start = 0;
    while (true) {
        size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            cells.push_back(line.substr(start));
            return cells;
        }
        cells.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

// Integers are written in plain decimal; an empty cell is refused so that a
// forgotten value never silently turns into 0.
bool parseInt(std::string_view cell, int& value) {
    if (cell.empty()) return false;
    const char* end = cell.data() + cell.size();
    auto [ptr, ec] = std::from_chars(cell.data(), end, value);
    return ec == std::errc() && ptr == end;
}

std::string where(const char* file, int line) {
    return std::string(file) + " line " + std::to_string(line) + ": ";
}

// Calls `onRow` for each data line after the header; checks the header and
// the things every line must satisfy (UTF-8, no carriage return).
template <typename OnRow>
void forEachDataLine(std::string_view text, const char* file, std::string_view header,
                     std::vector<std::string>& errors, OnRow onRow) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        errors.push_back(std::string(file) + ": starts with a byte-order mark");
        text.remove_prefix(3);
    }
    int lineNo = 0;
    size_t pos = 0;
    bool sawHeader = false;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        ++lineNo;
        if (line.find('\r') != std::string_view::npos) {
            errors.push_back(where(file, lineNo) + "carriage return in line (use LF line ends)");
            continue;
        }
        if (utf8Length(line) < 0) {
            errors.push_back(where(file, lineNo) + "not valid UTF-8");
            continue;
        }
        if (!sawHeader) {
            sawHeader = true;
            if (line != header)
                errors.push_back(where(file, lineNo) + "header must be \"" + std::string(header) + "\"");
            continue;
        }
        if (line.empty()) {
            errors.push_back(where(file, lineNo) + "empty line");
            continue;
        }
        onRow(line, lineNo);
    }
    if (!sawHeader) errors.push_back(std::string(file) + ": empty file (no header)");
}

}  // namespace

int utf8Length(std::string_view s) {
    int count = 0;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra;
        unsigned int cp;
        if (c < 0x80) { extra = 0; cp = c; }
        else if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
        else return -1;
        if (extra > 0 && i + extra >= s.size()) return -1;  // sequence cut off at the end
        for (int k = 1; k <= extra; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return -1;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode are refused.
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return -1;
        i += extra + 1;
        ++count;
    }
    return count;
}

int pointFromCoordinate(std::string_view xy) {
    if (xy.size() != 2) return 0;
    int column = xy[0] - 'a';
    int row = xy[1] - 'a';
    if (column < 0 || column > 18 || row < 0 || row > 18) return 0;
    return column * 19 + row + 1;
}

std::string readWholeFile(const std::string& path, std::vector<std::string>& errors) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors.push_back("cannot open " + path);
        return {};
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::vector<ContentsRow> parseContents(std::string_view text, std::vector<std::string>& errors) {
    std::vector<ContentsRow> rows;
    forEachDataLine(text, "mokuji.tsv", "MNB\tITEM\tPRB", errors, [&](std::string_view line, int lineNo) {
        auto cells = splitTabs(line);
        if (cells.size() != 3) {
            errors.push_back(where("mokuji.tsv", lineNo) + "expected 3 columns, found " +
                             std::to_string(cells.size()));
            return;
        }
        ContentsRow row;
        row.line = lineNo;
        row.item = std::string(cells[1]);
        if (!parseInt(cells[0], row.mnb) || !parseInt(cells[2], row.prb)) {
            errors.push_back(where("mokuji.tsv", lineNo) + "MNB and PRB must be integers");
            return;
        }
        rows.push_back(std::move(row));
    });
    return rows;
}

std::vector<FigureRow> parseFigure(std::string_view text, std::vector<std::string>& errors) {
    std::vector<FigureRow> rows;
    forEachDataLine(text, "figure.tsv", "MNB\tTES\tCOL\tPST\tBFR\tBTO\tDTX\tCMT\tXY", errors,
                    [&](std::string_view line, int lineNo) {
        auto cells = splitTabs(line);
        if (cells.size() != 9) {
            errors.push_back(where("figure.tsv", lineNo) + "expected 9 columns, found " +
                             std::to_string(cells.size()));
            return;
        }
        FigureRow row;
        row.line = lineNo;
        int* targets[] = {&row.mnb, &row.tes, &row.col, &row.pst, &row.bfr, &row.bto, &row.dtx};
        static const char* names[] = {"MNB", "TES", "COL", "PST", "BFR", "BTO", "DTX"};
        for (int k = 0; k < 7; ++k) {
            if (!parseInt(cells[k], *targets[k])) {
                errors.push_back(where("figure.tsv", lineNo) + names[k] + " must be an integer, found \"" +
                                 std::string(cells[k]) + "\"");
                return;
            }
        }
        row.cmt = std::string(cells[7]);
        row.xy = std::string(cells[8]);
        rows.push_back(std::move(row));
    });
    return rows;
}

}  // namespace lessons
