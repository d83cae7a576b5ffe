#include "engine/pdf/PageText.h"

#include <gtest/gtest.h>

using namespace quorvin::pdf;

namespace {

// A word of Courier-like size: baseline y, starting at x, 5.4 points per character.
Word At(const std::string& text, double x, double baseline) {
    return {text, x, baseline - 2, x + 5.4 * static_cast<double>(text.size()), baseline + 7};
}

std::string Text(const Page& page, const Rect& rect = kWholePage) {
    return JoinRuns(PageRuns(page, rect), "");
}

} // namespace

TEST(PageRuns, RebuildsReadingOrderFromGeometry) {
    // Two columns handed over a column at a time, baselines off by a fraction of a point.
    Page page;
    page.words = {At("B1", 300, 800), At("B2", 300, 789.4), At("A1", 28, 800.6), At("A2", 28, 789),
                  At("tail", 340, 789.2)};
    const auto runs = PageRuns(page, kWholePage);
    const std::vector<std::string> expected = {"A1 ", "B1\r\n", "A2 ", "B2 ", "tail\r\n"};
    EXPECT_EQ(runs, expected);
}

TEST(PageRuns, SeparatesLinesCloserThanAWordButFartherThanHalfItsHeight) {
    Page page;
    page.words = {At("alto", 28, 800), At("basso", 28, 794), At("accanto", 100, 796.5)};
    // 796.5 is within half a height (4.5) of 800; 794 is not.
    EXPECT_EQ(Text(page), "alto accanto\r\nbasso\r\n");
}

TEST(PageRuns, SelectsWordsByTheCentreOfTheirBox) {
    Page page;
    // The 404 period box: Top 650, Left 140, Right 270, Bottom 540.
    const Rect box{650, 140, 270, 540};
    page.words = {
        At("dentro", 150, 600),
        At("bordo", 120, 600),  // starts left of the box, centre (133.5) outside
        At("mezzo", 130, 600),  // starts left of the box, centre (143.5) inside
        At("sopra", 150, 648),  // baseline inside, centre (650.5) above the top
        At("sotto", 150, 539),  // baseline below, centre (541.5) inside
        At("destra", 260, 560), // centre 276.2: outside on the right
    };
    EXPECT_EQ(Text(page, box), "mezzo dentro\r\nsotto\r\n");
}

TEST(PageRuns, WordsAreFoldedAndProducersSpacesSeparate) {
    Page page;
    page.words = {At("D’ANGELO", 28, 800), At("1\u00a0250,00\u00a0", 90, 800),
                  At("\u00a0", 200, 800), At("“uf\ufb01cio”", 28, 780)};
    EXPECT_EQ(Text(page), "D'ANGELO 1 250,00\r\n\"ufficio\"\r\n");
}

TEST(PageRuns, EmptyAndBlankPages) {
    EXPECT_TRUE(PageRuns(Page{}, kWholePage).empty());
    Page page;
    page.words = {At("", 28, 800), At("fuori", 700, 800)};
    EXPECT_TRUE(PageRuns(page, kWholePage).empty());
    EXPECT_EQ(JoinRuns({}, "acquisito|scartato"), "");
}

TEST(JoinRuns, WithoutWordsOnlyConcatenates) {
    EXPECT_EQ(JoinRuns({"ABC acquisito ", "X scartato\r\n"}, ""), "ABC acquisito X scartato\r\n");
}

TEST(JoinRuns, ARunThatIsOneOfTheWordsIsKept) {
    const std::string words = "acquisito|scartato";
    for (const std::string run : {"acquisito ", "ACQUISITO\r\n", "  Acquisito  ", "scartato"}) {
        EXPECT_EQ(JoinRuns({run}, words), run) << run;
    }
}

TEST(JoinRuns, LineBreakGoesBeforeTheFirstWordInsideARun) {
    const std::string words = "acquisito|scartato";
    EXPECT_EQ(JoinRuns({"ABC acquisito"}, words), "ABC \r\nacquisito");
    EXPECT_EQ(JoinRuns({"ABC ACQUISITO "}, words), "ABC \r\nACQUISITO ");
    // The final line break of such a run becomes a blank.
    EXPECT_EQ(JoinRuns({"X scartato\r\n"}, words), "X \r\nscartato ");
    // Whichever word comes first decides, whatever the order in the list.
    EXPECT_EQ(JoinRuns({"1scartato2acquisito\r\n"}, words), "1\r\nscartato2acquisito ");
    EXPECT_EQ(JoinRuns({"nulla\r\n", "Y", "acquisito\r\n"}, words), "nulla\r\nYacquisito\r\n");
}

TEST(JoinRuns, PositionsCountCharactersNotBytes) {
    EXPECT_EQ(JoinRuns({"perciò è scartato\r\n"}, "scartato"), "perciò è \r\nscartato ");
    EXPECT_EQ(JoinRuns({"CITTÀSCARTATO "}, "àscartato"), "CITT\r\nÀSCARTATO ");
}
