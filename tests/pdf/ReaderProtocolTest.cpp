// The parent's side of the reader protocol: what a child says is decoded or refused, and
// a child that lies about the size of a document costs no memory.
#include "engine/pdf/ReaderProtocol.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>

namespace quorvin::pdf {
namespace {

Page OnePage(std::initializer_list<const char*> words) {
    Page page;
    double x = 28;
    for (const char* text : words) {
        page.words.push_back({text, x, 795, x + 30, 804});
        x += 40;
    }
    return page;
}

std::string Answer(const std::vector<Page>& pages, std::uint32_t claimedPages) {
    std::string out;
    wire::PutU8(out, wire::kOpened);
    wire::PutU32(out, claimedPages);
    for (const Page& page : pages) {
        wire::PutPage(out, page);
    }
    return out;
}

// The answer read back from a memory file, as from the child's pipe.
bool Decode(const std::string& answer, Document& document) {
    const int fd = memfd_create("risposta", 0);
    EXPECT_GE(fd, 0);
    EXPECT_TRUE(wire::WriteAll(fd, answer));
    lseek(fd, 0, SEEK_SET);
    wire::FdSource in(fd);
    in.SetDeadline(wire::FdSource::Clock::now() + std::chrono::seconds(5));
    std::uint8_t status = 0;
    const bool ok = in.GetU8(status) && status == wire::kOpened && in.GetDocument(document);
    close(fd);
    return ok;
}

TEST(ReaderProtocol, AnswersAreDecodedOrRefused) {
    const std::vector<Page> pages = {OnePage({"RICEVUTA", "acquisito", "è"}), OnePage({}),
                                     OnePage({"F24"})};
    const std::string whole = Answer(pages, 3);
    std::string overlong;
    wire::PutU8(overlong, wire::kOpened);
    wire::PutU32(overlong, 1);
    wire::PutU32(overlong, 1);
    wire::PutU32(overlong, wire::kMaxWordBytes + 1);
    std::string hugeClaims = Answer({}, wire::kMaxPages);
    wire::PutU32(hugeClaims, wire::kMaxWordsPerPage);
    std::string tooManyWords;
    wire::PutU8(tooManyWords, wire::kOpened);
    wire::PutU32(tooManyWords, 1);
    wire::PutU32(tooManyWords, wire::kMaxWordsPerPage + 1);

    const struct {
        const char* what;
        std::string answer;
        bool decoded;
    } cases[] = {
        {"whole", whole, true},
        {"no pages", Answer({}, 0), true},
        {"not opened", std::string(1, static_cast<char>(wire::kNotOpened)), false},
        {"nothing", "", false},
        {"cut inside a word's box", whole.substr(0, whole.size() - 5), false},
        {"cut inside a word's text", whole.substr(0, 20), false},
        {"cut after the page count", whole.substr(0, 5), false},
        {"more pages claimed than sent", Answer(pages, 4), false},
        {"over the page bound", Answer({}, wire::kMaxPages + 1), false},
        {"a word over its bound", overlong, false},
        {"a page over its word bound", tooManyWords, false},
        // Claims of a million pages of four million words each, then the end: refused
        // without making room for them first.
        {"huge claims, nothing sent", hugeClaims, false},
    };
    for (const auto& c : cases) {
        Document document;
        EXPECT_EQ(Decode(c.answer, document), c.decoded) << c.what;
        EXPECT_LE(document.pages.capacity(), 4096u) << c.what;
    }
    Document document;
    ASSERT_TRUE(Decode(whole, document));
    ASSERT_EQ(document.pages.size(), 3u);
    ASSERT_EQ(document.pages[0].words.size(), 3u);
    EXPECT_EQ(document.pages[0].words[2].text, "è");
    EXPECT_EQ(document.pages[0].words[1].xMin, 68);
    EXPECT_EQ(document.pages[0].words[1].yMax, 804);
    EXPECT_TRUE(document.pages[1].words.empty());
    EXPECT_EQ(document.pages[2].words[0].text, "F24");
}

} // namespace
} // namespace quorvin::pdf
