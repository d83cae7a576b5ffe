#include "tools/fixture/FixtureWriter.h"

#include <gtest/gtest.h>

using quorvin::fixture::ParseTemplate;
using Lines = std::vector<std::string>;

TEST(FixtureTemplate, HeaderLinesHoldExpectationsAndAreNotPrinted) {
    const auto t = ParseTemplate("#! Tipo=F24  Pagine=2\n#!Esito=acquisito\nriga #! non header\n");
    EXPECT_EQ(t.expect.size(), 3u);
    EXPECT_EQ(t.expect.at("Tipo"), "F24");
    EXPECT_EQ(t.expect.at("Pagine"), "2");
    EXPECT_EQ(t.expect.at("Esito"), "acquisito");
    ASSERT_EQ(t.pages.size(), 1u);
    EXPECT_EQ(t.pages[0], Lines{"riga #! non header"});
}

TEST(FixtureTemplate, PagesAndLines) {
    const auto t = ParseTemplate("uno\r\n  due  \n\ntre\n\fpagina 2\n#! resta testo\n\f");
    ASSERT_EQ(t.pages.size(), 2u);
    EXPECT_EQ(t.pages[0], (Lines{"uno", "  due  ", "", "tre"}));
    EXPECT_EQ(t.pages[1], (Lines{"pagina 2", "#! resta testo"}));
    EXPECT_TRUE(t.expect.empty());

    const auto empty = ParseTemplate("");
    ASSERT_EQ(empty.pages.size(), 1u);
    EXPECT_TRUE(empty.pages[0].empty());
}
