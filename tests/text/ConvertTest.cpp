// Dates, numbers and amounts as receipts print them.
#include "archive/Convert.h"
#include "archive/FieldValue.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvin {
namespace {

TEST(ParseDate, AcceptsDayMonthYearWithTheThreeSeparators) {
    EXPECT_EQ(ParseDate("12/03/2010"), (Date{2010, 3, 12}));
    EXPECT_EQ(ParseDate("1-3-2010"), (Date{2010, 3, 1}));
    EXPECT_EQ(ParseDate(" 01.03.10 "), (Date{2010, 3, 1}));
    EXPECT_EQ(ParseDate("29/02/2012"), (Date{2012, 2, 29}));
    EXPECT_EQ(ParseDate("31/12/99"), (Date{1999, 12, 31}));
}

TEST(ParseDate, AcceptsItalianMonthNames) {
    EXPECT_EQ(ParseDate("01 MARZO 2010"), (Date{2010, 3, 1}));
    EXPECT_EQ(ParseDate("1 marzo 2010"), (Date{2010, 3, 1}));
    EXPECT_EQ(ParseDate("15 Dic 2009"), (Date{2009, 12, 15}));
    EXPECT_FALSE(ParseDate("1 marzolino 2010"));
}

TEST(ParseDate, RejectsEverythingElse) {
    for (const char* text :
         {"", "31/02/2010", "29/02/2011", "12/13/2010", "00/01/2010", "12/03/201", "12/03",
          "12/03-2010", "12//2010", "a2/03/2010", "12/03/2010 09:35", "123/03/2010", "2010-03-12",
          "12 03 2010", "12/03/2010/1"}) {
        EXPECT_FALSE(ParseDate(text)) << text;
    }
}

TEST(ParseDate, WritesBackAsDayMonthYear) {
    EXPECT_EQ(FormatDate(*ParseDate("1.3.10")), "01/03/2010");
    EXPECT_EQ(IsoDate(*ParseDate("1.3.10")), "2010-03-01");
    EXPECT_EQ(ParseIsoDate("2010-03-01"), (Date{2010, 3, 1}));
}

TEST(WidenYear, SplitsTheCenturyAtThirty) {
    EXPECT_EQ(WidenYear(0), 2000);
    EXPECT_EQ(WidenYear(29), 2029);
    EXPECT_EQ(WidenYear(30), 1930);
    EXPECT_EQ(WidenYear(99), 1999);
    EXPECT_EQ(WidenYear(2010), 2010);
}

TEST(IsNumeric, SignDigitsAndOneDecimalSeparator) {
    for (const char* text : {"12", "-12", "+3", " 12,50 ", "0.5", "007"}) {
        EXPECT_TRUE(IsNumeric(text)) << text;
    }
    for (const char* text : {"", " ", "-", "1.250,00", "12a", "1 2", ",", "1,2,3"}) {
        EXPECT_FALSE(IsNumeric(text)) << text;
    }
    EXPECT_DOUBLE_EQ(*ParseNumber("12,5"), 12.5);
}

TEST(NormaliseAmount, ItalianAmountsBecomeNumericLiterals) {
    EXPECT_EQ(NormaliseAmount("1.250,00"), "1250.00");
    EXPECT_EQ(NormaliseAmount("1250,00"), "1250.00");
    EXPECT_EQ(NormaliseAmount("1250.00"), "1250.00");
    EXPECT_EQ(NormaliseAmount("1.250"), "1250");
    EXPECT_EQ(NormaliseAmount("-3,5"), "-3.5");
    EXPECT_EQ(NormaliseAmount("12.345.678,9"), "12345678.9");
    for (const char* text :
         {"", "abc", "1.25.0,00", "1,250.00", "12,", ",5", "1..2", "1.2345,00"}) {
        EXPECT_FALSE(NormaliseAmount(text)) << text;
    }
}

} // namespace
} // namespace quorvin

namespace quorvin {
namespace {

TEST(FieldLiteral, OnlyWellFormedNumbersGoUnquoted) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1250.00", "1250.00"}, {"-3", "-3"}, {"+0.5", "+0.5"}, {"1e5", "1e5"},
        {"2.5E-3", "2.5E-3"},   {".5", ".5"}, {"1--", "'1--'"}, {"1-1", "'1-1'"},
        {"--", "'--'"},         {"e", "'e'"}, {"1e", "'1e'"},   {".", "'.'"},
        {"1.2.3", "'1.2.3'"},   {"", "''"},   {"+", "'+'"},     {"1e5e5", "'1e5e5'"},
    };
    for (const auto& [stored, literal] : cases) {
        EXPECT_EQ(field::Literal(FieldType::Decimal, stored), literal) << stored;
        EXPECT_EQ(field::Literal(FieldType::Integer, stored), literal) << stored;
    }
    EXPECT_EQ(field::Literal(FieldType::Text, std::string("12")), "'12'");
    EXPECT_EQ(field::Literal(FieldType::Decimal, std::nullopt), "NULL");
}

} // namespace
} // namespace quorvin
