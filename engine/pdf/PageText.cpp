#include "engine/pdf/PageText.h"

#include "archive/DorvaneText.h"
#include "archive/Utf8.h"

#include <algorithm>
#include <cmath>

namespace quorvin::pdf {

namespace {

double CentreX(const Word& w) {
    return (w.xMin + w.xMax) / 2;
}
double CentreY(const Word& w) {
    return (w.yMin + w.yMax) / 2;
}
double Height(const Word& w) {
    return std::abs(w.yMax - w.yMin);
}

bool Inside(const Word& w, const Rect& rect) {
    const double x = CentreX(w);
    const double y = CentreY(w);
    return x >= rect.left && x <= rect.right && y >= rect.bottom && y <= rect.top;
}

// Leading and trailing blanks dropped, inner runs of blanks made one.
std::string CollapseBlanks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == ' ' && (out.empty() || out.back() == ' ')) {
            continue;
        }
        out += c;
    }
    if (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

} // namespace

std::vector<std::string> PageRuns(const Page& page, const Rect& rect) {
    struct Placed {
        const Word* word;
        std::string text; // folded, blanks inside collapsed to one
    };
    std::vector<Placed> words;
    words.reserve(page.words.size());
    for (const Word& w : page.words) {
        if (w.text.empty() || !Inside(w, rect)) {
            continue;
        }
        // A producer's non-breaking space becomes a blank: it separates words like one.
        std::string text = CollapseBlanks(FoldTypography(w.text));
        if (!text.empty()) {
            words.push_back({&w, std::move(text)});
        }
    }
    // Top of the page first; the x tie-break keeps the result independent of the order
    // poppler happened to return the words in.
    std::sort(words.begin(), words.end(), [](const Placed& a, const Placed& b) {
        const double ya = CentreY(*a.word);
        const double yb = CentreY(*b.word);
        if (ya != yb) {
            return ya > yb;
        }
        return a.word->xMin < b.word->xMin;
    });

    std::vector<std::string> runs;
    runs.reserve(words.size());
    size_t lineStart = 0;
    while (lineStart < words.size()) {
        const Word& first = *words[lineStart].word;
        size_t lineEnd = lineStart + 1;
        while (lineEnd < words.size()) {
            const Word& w = *words[lineEnd].word;
            const double tolerance = std::min(Height(first), Height(w)) / 2;
            if (std::abs(CentreY(w) - CentreY(first)) > tolerance) {
                break;
            }
            ++lineEnd;
        }
        std::stable_sort(
            words.begin() + static_cast<long>(lineStart),
            words.begin() + static_cast<long>(lineEnd),
            [](const Placed& a, const Placed& b) { return a.word->xMin < b.word->xMin; });
        for (size_t i = lineStart; i < lineEnd; ++i) {
            std::string run = std::move(words[i].text);
            run += (i + 1 == lineEnd) ? "\r\n" : " ";
            runs.push_back(std::move(run));
        }
        lineStart = lineEnd;
    }
    return runs;
}

std::string JoinRuns(const std::vector<std::string>& runs, const std::string& words) {
    std::string result;
    if (words.empty()) {
        for (const std::string& run : runs) {
            result += run;
        }
        return result;
    }

    const std::string lowerWords = Lower(FoldTypography(words));
    std::vector<std::string> list;
    DorvaneText::SplitLines(lowerWords, "|", &list);

    for (const std::string& run : runs) {
        const std::string lowerRun = Lower(run);
        const std::string trimmed = Trim(lowerRun);
        if (std::find(list.begin(), list.end(), trimmed) != list.end()) {
            result += run;
            continue;
        }
        const long at = DorvaneText::FindAnyWord(1, lowerRun, lowerWords);
        if (at <= 0) {
            result += run;
            continue;
        }
        // Positions count characters, not bytes.
        std::u32string text = ToU32(run);
        text.insert(static_cast<size_t>(at - 1), U"\r\n");
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, U"\r\n") == 0) {
            text.replace(text.size() - 2, 2, U" ");
        }
        result += ToUtf8(text);
    }
    return result;
}

} // namespace quorvin::pdf
