// Rows of the lesson source tables (mokuji.tsv and figure.tsv) and their reader.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lessons {

struct ContentsRow {
    int mnb = 0;
    std::string item;
    int prb = 0;
    int line = 0;  // line number in the source file, for messages
};

struct FigureRow {
    int mnb = 0;
    int tes = 0;
    int col = 0;
    int pst = 0;
    int bfr = 0;
    int bto = 0;
    int dtx = 0;
    std::string cmt;
    std::string xy;  // the author's coordinate note; not loaded into the table
    int line = 0;
};

// Both readers append one message per fault to `errors` and skip the faulty
// row, so a single run reports every broken line at once.
std::vector<ContentsRow> parseContents(std::string_view text, std::vector<std::string>& errors);
std::vector<FigureRow> parseFigure(std::string_view text, std::vector<std::string>& errors);

// Whole file as bytes; empty string and an error message when unreadable.
std::string readWholeFile(const std::string& path, std::vector<std::string>& errors);

// Number of code points of a UTF-8 string, or -1 when it is not valid UTF-8.
int utf8Length(std::string_view s);

// "dd"-style coordinate: column letter then row letter, 'a' = line 1.
// Returns the point number 1..361, or 0 when the text is no coordinate.
int pointFromCoordinate(std::string_view xy);

}  // namespace lessons
