#include "LessonChecks.h"

#include <map>

namespace lessons {

LessonCheckReport checkLessonTables(const std::vector<ContentsRow>& contents,
                                    const std::vector<FigureRow>& figure) {
    LessonCheckReport report;
    auto& errors = report.errors;
    checkContents(contents, errors);

    // Rows of one figure are written as one consecutive run, in append order.
    std::map<int, std::vector<FigureRow>> byFigure;
    int previous = 0;
    for (const FigureRow& row : figure) {
        if (row.mnb != previous && byFigure.count(row.mnb))
            errors.push_back("figure.tsv line " + std::to_string(row.line) + ": rows of figure " +
                             std::to_string(row.mnb) + " are not consecutive");
        byFigure[row.mnb].push_back(row);
        previous = row.mnb;
    }

    std::map<int, int> kindOf;
    for (const ContentsRow& row : contents) kindOf[row.mnb] = row.prb;
    for (const ContentsRow& row : contents) {
        if (row.mnb % 100 == 0) {
            if (byFigure.count(row.mnb))
                errors.push_back("figure " + std::to_string(row.mnb) +
                                 ": headings open their first lesson, they carry no figure");
        } else if (!byFigure.count(row.mnb)) {
            errors.push_back("mokuji " + std::to_string(row.mnb) + " (" + row.item + "): lesson has no figure");
        }
    }
    for (auto& [mnb, rows] : byFigure) {
        auto kind = kindOf.find(mnb);
        if (kind == kindOf.end()) {
            errors.push_back("figure " + std::to_string(mnb) + " (figure.tsv line " +
                             std::to_string(rows.front().line) + "): no contents row for this figure" +
                             (mnb == 19 || mnb == 13 || mnb == 9 ? " (19, 13 and 9 hold saved games)" : ""));
            continue;
        }
        FigureTree tree = buildFigureTree(mnb, rows, errors);
        checkFigureRules(tree, kind->second, errors);
        report.capturesByFigure[mnb] = replayFigure(tree, errors);
        report.figures.emplace(mnb, std::move(tree));
    }
    return report;
}

}  // namespace lessons
