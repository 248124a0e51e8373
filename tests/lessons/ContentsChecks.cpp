#include "LessonChecks.h"

namespace lessons {

namespace {
constexpr int kMaxItemLength = 40;  // code points that fit the contents grid comfortably

std::string place(const ContentsRow& row) {
    return "mokuji " + std::to_string(row.mnb) + " (mokuji.tsv line " + std::to_string(row.line) + "): ";
}

bool isHeading(int mnb) { return mnb % 100 == 0; }
}  // namespace

size_t firstLessonUnder(const std::vector<ContentsRow>& contents, size_t index) {
    int n = contents[index].mnb;
    int child = 0;
    int c = n;
    for (int k = 0; k < 4; ++k) {
        if (n % 1000 == 0) child = n + 100;
        else if (n % 100 == 0) child = n + 10;
        else if (n % 10 == 0) child = n + 1;
        if (index + 1 < contents.size()) ++index;  // at the last row the cursor stays
        c = contents[index].mnb;
        if (c != child) break;
        n = child;
    }
    if (c != n && index > 0) --index;
    return index;
}

void checkContents(const std::vector<ContentsRow>& contents, std::vector<std::string>& errors) {
    if (contents.empty()) {
        errors.push_back("mokuji.tsv: no contents rows");
        return;
    }
    if (contents.front().mnb != 1000)
        errors.push_back(place(contents.front()) +
                         "the contents must begin with chapter 1000 (the editor opens any figure through it)");
    for (size_t i = 0; i < contents.size(); ++i) {
        const ContentsRow& row = contents[i];
        if (row.mnb < 1000)
            errors.push_back(place(row) + "lesson numbers start at 1000");
        if (i > 0 && row.mnb <= contents[i - 1].mnb)
            errors.push_back(place(row) + "MNB must be unique and in ascending order");
        int length = utf8Length(row.item);
        if (length <= 0 || length > kMaxItemLength)
            errors.push_back(place(row) + "ITEM must hold 1 to " + std::to_string(kMaxItemLength) +
                             " characters");
        if (row.prb < 0 || row.prb > 3)
            errors.push_back(place(row) + "PRB must be 0, 1, 2 or 3");
        if (isHeading(row.mnb) && row.prb != 0)
            errors.push_back(place(row) + "a heading has no problems (PRB 0)");
    }
    auto exists = [&](int mnb) {
        for (const ContentsRow& row : contents)
            if (row.mnb == mnb) return true;
        return false;
    };
    for (size_t i = 0; i < contents.size(); ++i) {
        const ContentsRow& row = contents[i];
        if (row.mnb % 1000 != 0 && !exists(row.mnb / 1000 * 1000))
            errors.push_back(place(row) + "its chapter heading " + std::to_string(row.mnb / 1000 * 1000) +
                             " is missing");
        if (!isHeading(row.mnb) && !exists(row.mnb / 100 * 100))
            errors.push_back(place(row) + "its section heading " + std::to_string(row.mnb / 100 * 100) +
                             " is missing");
        size_t opened = firstLessonUnder(contents, i);
        if (isHeading(row.mnb)) {
            if (isHeading(contents[opened].mnb))
                errors.push_back(place(row) + "a click on this heading opens no lesson (its first lesson "
                                              "must follow it as +100 / +10)");
        } else if (opened != i) {
            errors.push_back(place(row) + "a click on this lesson opens " +
                             std::to_string(contents[opened].mnb) + " instead");
        }
    }
}

}  // namespace lessons
