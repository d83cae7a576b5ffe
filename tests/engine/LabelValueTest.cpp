// How receipt values are cut out of page text.
#include "engine/LabelValue.h"

#include <gtest/gtest.h>

namespace quorvin {
namespace {

const std::string kFirstPage =
    "AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL\r\n"
    "In data 12/03/2010 il sistema informativo ha acquisito il file\r\n"
    "Invio effettuato da : STUDIO BIANCHI codice fiscale : BNCLRA70B41F205X\r\n"
    "con protocollo 10031209351234567 il file inviato\r\n"
    "INVIO PROTOCOLLO N. 10031209351234567\r\n"
    "Data : 12/03/2010 Ore: 09:35\r\n"
    "COMUNICAZIONI TOTALI 12\r\n";

TEST(GetLabelValue, ReadsTheTypicalCallsOfAFirstPage) {
    EXPECT_EQ(GetLabelValue(kFirstPage, "In data ", 10, "", kDate, false, false), "12/03/2010");
    EXPECT_EQ(GetLabelValue(kFirstPage, "codice fiscale : ", " \r\n",
                            "Invio effettuato da :", kTaxCode, false, false),
              "BNCLRA70B41F205X");
    EXPECT_EQ(GetLabelValue(kFirstPage, "INVIO PROTOCOLLO N. ", "\r\n", "", kAnyText, false, false),
              "10031209351234567");
    EXPECT_EQ(GetLabelValue(kFirstPage, "con protocollo ", " il file", "", kAnyText, true, false),
              "10031209351234567");
    EXPECT_EQ(GetLabelValue(kFirstPage, "Data : ", " Ore:", "", kDate, true, false), "12/03/2010");
    EXPECT_EQ(
        GetLabelValue(kFirstPage, "COMUNICAZIONI TOTALI ", "\r\n", "", kNumeric, false, false),
        "12");
}

TEST(GetLabelValue, LabelsAnchorsAndEndsMeetEitherApostrophe) {
    // Page text is folded when it is read; the labels are written as receipts print them.
    const std::string page =
        "Data dell'impegno: 12/03/2010\r\nL'ADDEBITO richiesto : 3 (un'altra)\r\n";
    EXPECT_EQ(GetLabelValue(page, "Data dell’impegno: ", "\r\n", "", kDate, false, false),
              "12/03/2010");
    EXPECT_EQ(GetLabelValue(page, "richiesto : ", " (un’", "L’ADDEBITO", kNumeric, true, false),
              "3");
}

TEST(GetLabelValue, FindsTheLabelWithoutRegardToCaseAndKeepsTheValueCase) {
    EXPECT_EQ(GetLabelValue(kFirstPage, "invio effettuato da : ", " ", "", kAnyText, false, false),
              "STUDIO");
    EXPECT_EQ(
        GetLabelValue("Ditta: Caffe' Rossi\r\n", "DITTA: ", "\r\n", "", kAnyText, false, false),
        "Caffe' Rossi");
}

TEST(GetLabelValue, ValidatesByKind) {
    const std::string text = "In data 12/03/2010 fine";
    EXPECT_EQ(GetLabelValue(text, "In data ", 10, "", kNumeric, false, false), "");
    EXPECT_EQ(GetLabelValue(text, "In data ", 10, "", kAnyText, false, false), "12/03/2010");
    // Kinds outside 0 to 4 never validate.
    EXPECT_EQ(GetLabelValue(text, "In data ", 10, "", 7, false, false), "");
    EXPECT_EQ(GetLabelValue(text, "In data ", 10, "", -1, false, false), "");
    // Tax codes: exactly 11 or 16 characters.
    EXPECT_EQ(GetLabelValue("cf: 01234567890 x", "cf: ", " ", "", kTaxCode, false, false),
              "01234567890");
    EXPECT_EQ(GetLabelValue("cf: RSSMRA80A01H501U x", "cf: ", " ", "", kTaxCode11, false, false),
              "RSSMRA80A01H501U");
    EXPECT_EQ(GetLabelValue("cf: RSSMRA80A01H501 x", "cf: ", " ", "", kTaxCode, false, false), "");
    EXPECT_EQ(GetLabelValue("cf: 0123456789 x", "cf: ", " ", "", kTaxCode, false, false), "");
    // Impossible dates are not dates.
    EXPECT_EQ(GetLabelValue("In data 31/02/2010", "In data ", 10, "", kDate, false, false), "");
    // A short date at a line end: the date without the line break (any text keeps it).
    EXPECT_EQ(GetLabelValue("In data 1/3/2010\r\nseguito", "In data ", 10, "", kDate, false, false),
              "1/3/2010");
    EXPECT_EQ(GetLabelValue("In data  1/3/10\r\n", "In data ", 10, "", kDate, false, false),
              "1/3/10");
    EXPECT_EQ(
        GetLabelValue("In data 1/3/2010\r\nseguito", "In data ", 10, "", kAnyText, false, false),
        "1/3/2010\r\n");
}

TEST(GetLabelValue, RetriesTheNextOccurrenceAfterAnInvalidValue) {
    const std::string text = "In data XX/YY/ZZZZ e poi In data 01/04/2011.";
    EXPECT_EQ(GetLabelValue(text, "In data ", 10, "", kDate, false, false), "01/04/2011");
    // With a text delimiter the next search starts at the rejected value's end.
    const std::string twice = "Totale: abc\r\nTotale: 42\r\n";
    EXPECT_EQ(GetLabelValue(twice, "Totale: ", "\r\n", "", kNumeric, false, false), "42");
}

TEST(GetLabelValue, AnchorRestrictsWhereTheLabelIsSearched) {
    const std::string text = "codice fiscale : AAAAAAAAAAAAAAAA\r\nDATI DEL SOSTITUTO\r\n"
                             "codice fiscale : BBBBBBBBBBBBBBBB\r\n";
    EXPECT_EQ(GetLabelValue(text, "codice fiscale : ", "\r\n", "dati del sostituto", kTaxCode,
                            false, false),
              "BBBBBBBBBBBBBBBB");
    // An anchor that does not occur gives nothing even though the label does.
    EXPECT_EQ(
        GetLabelValue(text, "codice fiscale : ", "\r\n", "NON PRESENTE", kAnyText, false, false),
        "");
    EXPECT_EQ(GetLabelValue(text, "assente", "\r\n", "", kAnyText, false, false), "");
}

TEST(GetLabelValue, DelimiterIsSearchedFromTheSecondCharacterOfTheValue) {
    // The delimiter right after the label is skipped: the value runs to the next one.
    EXPECT_EQ(GetLabelValue("A: ,valore,", "A: ", ",", "", kAnyText, false, false), ",valore");
    EXPECT_EQ(GetLabelValue("A: il file X il file", "A:", " il file", "", kAnyText, true, false),
              " il file X");
    // With the line-break set, the '\n' of a line break right after the label ends it.
    EXPECT_EQ(GetLabelValue("A: \r\nvalore\r\n", "A: ", "\r\n", "", kAnyText, false, false), "\r");
    // Literal delimiters are case-sensitive.
    EXPECT_EQ(
        GetLabelValue("x 123 IL FILE 456 il file", "x ", " il file", "", kAnyText, true, false),
        "123 IL FILE 456");
}

TEST(GetLabelValue, ValueWithoutDelimiterRunsToTheEnd) {
    EXPECT_EQ(GetLabelValue("Esito: accolto", "Esito: ", "\r\n", "", kAnyText, false, false),
              "accolto");
    // ... and when it is then rejected, nothing is returned even if the label recurs.
    EXPECT_EQ(GetLabelValue("N: a N: 5", "N: ", "\r\n", "", kNumeric, false, false), "");
}

TEST(GetLabelValue, NumericEndGivesExactlyThatManyCharacters) {
    EXPECT_EQ(GetLabelValue("alle ore 09:35:12", "alle ore ", 5, "", kAnyText, false, false),
              "09:35");
    EXPECT_EQ(GetLabelValue("alle ore 09", "alle ore ", 5, "", kAnyText, false, false), "09");
    // Characters, not bytes: accented letters and the typographic apostrophe count once.
    EXPECT_EQ(GetLabelValue("Società: PERCHÉ’ snc", "Società: ", 7, "", kAnyText, false, false),
              "PERCHÉ’");
    EXPECT_EQ(GetLabelValue("abc", "abc", 0, "", kAnyText, false, false), "");
    EXPECT_EQ(GetLabelValue("abc def", "abc", -2, "", kAnyText, false, false), "");
}

TEST(GetLabelValue, BackwardReadsTheValueBeforeTheLabel) {
    // The value lies between the last delimiter before the label and the label.
    EXPECT_EQ(GetLabelValue("riga uno\r\n12/03/2010 data di invio", " data di invio", "\r\n", "",
                            kDate, false, true),
              "12/03/2010");
    EXPECT_EQ(GetLabelValue("123 ACQUISITO", " ACQUISITO", " ", "", kAnyText, false, true), "123");
    // No delimiter before: from the start of the text.
    EXPECT_EQ(GetLabelValue("0001 ACQUISITO", " acquisito", "\r\n", "", kNumeric, false, true),
              "0001");
    EXPECT_EQ(GetLabelValue("12/03/2010 fine", " fine", 10, "", kDate, false, true), "12/03/2010");
}

TEST(GetLabelValue, BackwardRejectionMovesTheWindowLeft) {
    // "xx" is rejected; the next candidate ends two characters before it started
    // (one delimiter character skipped): "42".
    EXPECT_EQ(GetLabelValue("42 xx LABEL", " LABEL", " ", "", kNumeric, false, true), "42");
    EXPECT_EQ(GetLabelValue("aa bb LABEL", " LABEL", " ", "", kNumeric, false, true), "");
    // With a numeric end the window moves by the value's length plus one.
    EXPECT_EQ(GetLabelValue("7.5|zz.z| fine", "| fine", 4, "", kNumeric, false, true), "7.5");
    EXPECT_EQ(GetLabelValue("ab|zz.z| fine", "| fine", 4, "", kNumeric, false, true), "");
    EXPECT_EQ(GetLabelValue("12.5|zz.z| fine", "| fine", 4, "", kNumeric, false, true), "12.5");
}

TEST(GetLabelValue, NeverFailsOnOddInput) {
    // A negative length read backwards once looped for ever.
    EXPECT_EQ(GetLabelValue("label xx", "label", -1, "", kNumeric, false, true), "");
    EXPECT_EQ(GetLabelValue("ab label", "label", -3, "", kDate, false, true), "");
    EXPECT_EQ(GetLabelValue("", "x", 3, "", kAnyText, false, false), "");
    EXPECT_EQ(GetLabelValue("x", "x", 3, "", kAnyText, false, false), "");
    // A label at the very start read backwards: the value is the whole text.
    EXPECT_EQ(GetLabelValue("x", "x", "", "", kAnyText, true, true), "x");
    EXPECT_EQ(GetLabelValue("label", "label", "\r\n", "", kAnyText, false, true), "label");
    EXPECT_EQ(GetLabelValue(std::string("a\0b", 3), "a", 1, "", kAnyText, false, false),
              std::string(1, '\0'));
    EXPECT_EQ(GetLabelValue("\xff\xfe label value", "label ", 5, "", kAnyText, false, false),
              "value");
}

} // namespace
} // namespace quorvin
