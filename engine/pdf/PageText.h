#pragma once
// The page-text model: words with boxes in, text runs in reading order out.
#include <string>
#include <vector>

namespace quorvin::pdf {

// One word of a page, its box in PDF user space (points, y growing upwards).
struct Word {
    std::string text; // UTF-8, no blanks inside
    double xMin = 0;
    double yMin = 0;
    double xMax = 0;
    double yMax = 0;
};

struct Page {
    std::vector<Word> words;
};

struct Document {
    std::vector<Page> pages;
};

// A selection rectangle in PDF points, y growing upwards (whole page: 850, 0, 600, 0).
struct Rect {
    long top = 850;
    long left = 0;
    long right = 600;
    long bottom = 0;
};

inline constexpr Rect kWholePage{850, 0, 600, 0};

// The runs of the words whose box centre lies inside rect, in reading order: each run
// is a word followed by one blank, or by "\r\n" when it is the last word of its line.
std::vector<std::string> PageRuns(const Page& page, const Rect& rect);

// Concatenates runs applying the word rule for the '|'-separated words (may be empty):
// a run that is one of the words is kept; otherwise a line break goes before the first
// occurrence of any word in it, and a final line break of such a run becomes a blank.
std::string JoinRuns(const std::vector<std::string>& runs, const std::string& words);

} // namespace quorvin::pdf
