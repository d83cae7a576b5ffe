#include "engine/pdf/PageText.h"
#include "engine/pdf/PdfReader.h"
#include "support/TestSupport.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace quorvin::pdf;
using quorvin::test::MakePdf;
using quorvin::test::ReadAll;
using quorvin::test::TempDir;
using quorvin::test::WriteAll;

namespace fs = std::filesystem;

// The reader child is built like this test: under AddressSanitizer it has no memory limit.
#if defined(__SANITIZE_ADDRESS__)
#define QUORVIN_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVIN_TEST_ASAN 1
#endif
#endif

namespace {

using Pages = std::vector<std::vector<std::string>>;

const Pages kReceipt = {
    {"RICEVUTA DI PRESENTAZIONE DEL MODELLO F24        Pagina 1", "",
     "   L’ufficio ha ricevuto il file, perciò è acquisito",
     "Città   Forlì   Lecco   Cantù   Canicattì   Altidona",
     "   Protocollo    Codice fiscale       Esito",
     "   12345         RSSMRA80A01H501U     acquisito"},
    {"Pagina 2", "X scartato"},
};

// The typographic apostrophe is read as the plain one.
const std::string kReceiptText[] = {
    "RICEVUTA DI PRESENTAZIONE DEL MODELLO F24 Pagina 1\r\n"
    "L'ufficio ha ricevuto il file, perciò è acquisito\r\n"
    "Città Forlì Lecco Cantù Canicattì Altidona\r\n"
    "Protocollo Codice fiscale Esito\r\n"
    "12345 RSSMRA80A01H501U acquisito\r\n",
    "Pagina 2\r\nX scartato\r\n",
};

std::vector<std::string> PageTexts(const Document& document) {
    std::vector<std::string> texts;
    for (const Page& page : document.pages) {
        texts.push_back(JoinRuns(PageRuns(page, kWholePage), ""));
    }
    return texts;
}

// Rewrites a PDF through qpdf, changing each page first.
template <typename F> void Rewrite(const std::string& in, const std::string& out, F change) {
    QPDF pdf;
    pdf.processFile(in.c_str());
    for (auto& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        change(page.getObjectHandle());
    }
    QPDFWriter writer(pdf, out.c_str());
    writer.write();
}

void Encrypt(const std::string& in, const std::string& out) {
    QPDF pdf;
    pdf.processFile(in.c_str());
    QPDFWriter writer(pdf, out.c_str());
    writer.setR6EncryptionParameters("utente", "proprietario", true, true, true, true, true, true,
                                     qpdf_r3p_full, true);
    writer.write();
}

std::string Script(const TempDir& dir, const std::string& name, const std::string& body) {
    const std::string path = dir.File(name);
    WriteAll(path, "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

// Children of this process not in before (the readers of other tests may be alive).
std::vector<pid_t> Children(const std::vector<pid_t>& before = {}) {
    std::vector<pid_t> pids;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "children");
        pid_t pid = 0;
        while (in >> pid) {
            if (std::find(before.begin(), before.end(), pid) == before.end()) {
                pids.push_back(pid);
            }
        }
    }
    return pids;
}

const Word& Find(const Page& page, const std::string& text) {
    static const Word kNone{};
    for (const Word& w : page.words) {
        if (w.text == text) {
            return w;
        }
    }
    ADD_FAILURE() << text << " not found";
    return kNone;
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { unsetenv(m_name); }

private:
    const char* m_name;
};

} // namespace

TEST(PdfReader, RoundTripGivesBackTheLines) {
    TempDir dir;
    const std::string pdf = MakePdf(dir, "ricevuta.pdf", kReceipt);
    const auto guarded = MakeGuardedReader()->Read(pdf);
    ASSERT_TRUE(guarded);
    EXPECT_EQ(PageTexts(*guarded),
              std::vector<std::string>(std::begin(kReceiptText), std::end(kReceiptText)));
    // The child and the in-process reader see exactly the same words and boxes, also in
    // a long file, which the child reads with two readers and hands out in page order.
    Pages longFile;
    for (int p = 1; p <= 61; ++p) {
        longFile.push_back({"Pagina " + std::to_string(p), std::string(p % 7, ' ') + "riga",
                            "Protocollo 10061610424512345/" + std::to_string(1000 + p)});
    }
    for (const std::string& file : {pdf, MakePdf(dir, "lunga.pdf", longFile)}) {
        const auto child = MakeGuardedReader()->Read(file);
        const auto direct = MakeInProcessReader()->Read(file);
        ASSERT_TRUE(child && direct);
        ASSERT_EQ(direct->pages.size(), child->pages.size());
        for (size_t p = 0; p < direct->pages.size(); ++p) {
            const auto& a = direct->pages[p].words;
            const auto& b = child->pages[p].words;
            ASSERT_EQ(a.size(), b.size()) << file << " page " << p;
            for (size_t i = 0; i < a.size(); ++i) {
                EXPECT_EQ(a[i].text, b[i].text);
                EXPECT_EQ(std::tie(a[i].xMin, a[i].yMin, a[i].xMax, a[i].yMax),
                          std::tie(b[i].xMin, b[i].yMin, b[i].xMax, b[i].yMax));
            }
        }
    }
    EXPECT_EQ(PageTexts(*MakeGuardedReader()->Read(dir.File("lunga.pdf"))).at(40),
              "Pagina 41\r\nriga\r\nProtocollo 10061610424512345/1041\r\n");
    // Boxes are in user space, y up: the first line sits near its baseline.
    const Word& first = Find(guarded->pages[0], "RICEVUTA");
    EXPECT_NEAR(first.xMin, 28, 1);
    EXPECT_LT(first.yMin, 806);
    EXPECT_GT(first.yMax, 806);
    // The word rule on real page text.
    EXPECT_EQ(JoinRuns(PageRuns(guarded->pages[1], kWholePage), "acquisito|scartato"),
              "Pagina 2\r\nX scartato\r\n");
}

TEST(PdfReader, RotatedAndCroppedPagesReadAsTheUprightPage) {
    TempDir dir;
    const std::string plain = MakePdf(dir, "diritta.pdf", kReceipt);
    for (int rotate : {90, 180, 270}) {
        const std::string turned = dir.File("ruotata" + std::to_string(rotate) + ".pdf");
        Rewrite(plain, turned, [rotate](QPDFObjectHandle page) {
            page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(rotate));
            page.replaceKey("/CropBox", QPDFObjectHandle::parse("[10 20 580 830]"));
        });
        const auto document = MakeGuardedReader()->Read(turned);
        ASSERT_TRUE(document) << rotate;
        EXPECT_EQ(PageTexts(*document),
                  std::vector<std::string>(std::begin(kReceiptText), std::end(kReceiptText)))
            << rotate;
        const Word& first = Find(document->pages[0], "RICEVUTA");
        EXPECT_NEAR(first.xMin, 28, 1) << rotate;
        EXPECT_NEAR(first.yMin, 804, 3) << rotate;
    }
}

TEST(PdfReader, UnreadableFilesCannotBeOpened) {
    TempDir dir;
    const std::string good = MakePdf(dir, "buona.pdf", kReceipt);
    const std::string bytes = ReadAll(good);

    std::mt19937 random(42);
    std::string garbage = "%PDF-1.4\n";
    for (int i = 0; i < 20000; ++i) {
        garbage.push_back(static_cast<char>(random()));
    }
    WriteAll(dir.File("vuota.pdf"), "");
    WriteAll(dir.File("testo.pdf"), "Questo non è un PDF.\n");
    WriteAll(dir.File("casuale.pdf"), garbage);
    WriteAll(dir.File("troncata.pdf"), bytes.substr(0, 60));
    Encrypt(good, dir.File("cifrata.pdf"));

    const auto reader = MakeGuardedReader();
    for (const char* name :
         {"vuota.pdf", "testo.pdf", "casuale.pdf", "troncata.pdf", "cifrata.pdf", "assente.pdf"}) {
        EXPECT_FALSE(reader->Read(dir.File(name))) << name;
        EXPECT_FALSE(MakeInProcessReader()->Read(dir.File(name))) << name;
    }
    // Cut anywhere: repaired or refused, never a crash, and the reader goes on.
    for (size_t cut = 100; cut < bytes.size(); cut += bytes.size() / 7) {
        WriteAll(dir.File("taglio.pdf"), bytes.substr(0, cut));
        const auto document = reader->Read(dir.File("taglio.pdf"));
        if (document) {
            EXPECT_LE(document->pages.size(), kReceipt.size()) << cut;
        }
    }
    EXPECT_TRUE(reader->Read(good));
}

TEST(PdfReader, ADocumentWithoutPagesOpens) {
    TempDir dir;
    const std::string path = dir.File("senza_pagine.pdf");
    QPDF pdf;
    pdf.emptyPDF();
    QPDFWriter writer(pdf, path.c_str());
    writer.write();
    for (const auto& document :
         {MakeGuardedReader()->Read(path), MakeInProcessReader()->Read(path)}) {
        ASSERT_TRUE(document);
        EXPECT_TRUE(document->pages.empty());
    }
}

TEST(PdfReader, SurvivesAChildThatDies) {
    TempDir dir;
    const std::string pdf = MakePdf(dir, "ricevuta.pdf", kReceipt);
    const auto others = Children();
    const auto reader = MakeGuardedReader();
    ASSERT_TRUE(reader->Read(pdf));
    const auto children = Children(others);
    ASSERT_EQ(children.size(), 1u);
    kill(children[0], SIGKILL);
    const auto again = reader->Read(pdf);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->pages.size(), 2u);

    // A reader that dies on every file: the file cannot be opened, the next one can.
    {
        ScopedEnv env("QUORVIN_PDFREADER", Script(dir, "muore.sh", "exit 1"));
        kill(Children(others).at(0), SIGKILL);
        EXPECT_FALSE(reader->Read(pdf));
    }
    EXPECT_TRUE(reader->Read(pdf));

    // A reader that cannot be started at all.
    ScopedEnv env("QUORVIN_PDFREADER", dir.File("inesistente"));
    EXPECT_FALSE(MakeGuardedReader()->Read(pdf));
}

TEST(PdfReader, TimeLimitStopsAHungReader) {
    TempDir dir;
    const std::string pdf = MakePdf(dir, "ricevuta.pdf", kReceipt);
    const auto others = Children();
    const auto reader = MakeGuardedReader(ReaderLimits{1, 1LL << 30, 10000});
    {
        ScopedEnv env("QUORVIN_PDFREADER", Script(dir, "dorme.sh", "exec sleep 30"));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(reader->Read(pdf));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_LT(elapsed, std::chrono::seconds(10));
    }
    EXPECT_TRUE(reader->Read(pdf));
    EXPECT_EQ(Children(others).size(), 1u); // the sleeper was killed and reaped
}

std::vector<std::string> Words(const std::optional<Document>& document) {
    std::vector<std::string> words;
    if (document) {
        for (const auto& page : document->pages) {
            for (const auto& word : page.words) {
                words.push_back(word.text);
            }
            words.push_back("\f");
        }
    }
    return words;
}

TEST(PdfReader, ReadingAheadGivesWhatReadingGives) {
    TempDir dir;
    const std::string a = MakePdf(dir, "a.pdf", kReceipt);
    const std::string b = MakePdf(dir, "b.pdf", {{"seconda ricevuta"}});
    const auto direct = Words(MakeGuardedReader()->Read(a));
    ASSERT_FALSE(direct.empty());
    const auto reader = MakeGuardedReader();
    reader->Prefetch(a);
    reader->Prefetch(b); // one file ahead at a time: the first stays
    EXPECT_EQ(Words(reader->Read(a)), direct);
    // Another file read instead: the one read ahead is dropped.
    reader->Prefetch(a);
    EXPECT_EQ(Words(reader->Read(b)), (std::vector<std::string>{"seconda", "ricevuta", "\f"}));
    // A file changed after it was read ahead is read again.
    reader->Prefetch(b);
    MakePdf(dir, "b.pdf", {{"terza ricevuta, cambiata"}});
    EXPECT_EQ(Words(reader->Read(b)).at(0), "terza");
    reader->Prefetch(dir.File("assente.pdf"));
    EXPECT_FALSE(reader->Read(dir.File("assente.pdf")));
    // A file read ahead and never read costs nothing to the files after it.
    reader->Prefetch(b);
    std::string tried;
    EXPECT_TRUE(reader->Ready(tried));
    EXPECT_EQ(Words(reader->Read(a)), direct);
}

// Every page's content replaced by count operators poppler does not know: one error
// message each.
void FillWithUnknownOperators(const std::string& in, const std::string& out, int count) {
    QPDF pdf;
    pdf.processFile(in.c_str());
    std::string content = "BT ";
    for (int i = 0; i < count; ++i) {
        content += "xq ";
    }
    content += "ET\n";
    for (auto& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        page.getObjectHandle().replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
    }
    QPDFWriter writer(pdf, out.c_str());
    writer.write();
}

TEST(PdfReader, ErrorBudgetGivesUpAFileFullOfErrors) {
    TempDir dir;
    const std::string pdf = MakePdf(dir, "ricevuta.pdf", kReceipt);
    // A long file opens without a complaint, so two readers count its pages' errors.
    const Pages longFile(40, {"pagina"});
    const struct {
        std::string source;
        int errorsPerPage;
        size_t pages;
    } cases[] = {{pdf, 20000, kReceipt.size()}, {MakePdf(dir, "lunga.pdf", longFile), 600, 40}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const std::string damaged = dir.File("errori.pdf");
        FillWithUnknownOperators(c.source, damaged, c.errorsPerPage);
        // Within the budget the file reads (its pages hold no words), past it it does not,
        // and the reader goes on with the next file.
        const auto limited = MakeGuardedReader(ReaderLimits{60, 1LL << 30, 1000});
        EXPECT_FALSE(limited->Read(damaged));
        EXPECT_TRUE(limited->Read(pdf));
        const auto generous = MakeGuardedReader(ReaderLimits{60, 1LL << 30, 100000});
        const auto document = generous->Read(damaged);
        ASSERT_TRUE(document);
        EXPECT_EQ(document->pages.size(), c.pages);
        // Limits changed on a running reader hold from the next file.
        generous->Limits(ReaderLimits{60, 1LL << 30, 1000});
        EXPECT_FALSE(generous->Read(damaged));
        generous->Limits(ReaderLimits{60, 1LL << 30, 0});
        EXPECT_TRUE(generous->Read(damaged));
    }
}

TEST(PdfReader, AddressSpaceLimitMakesTheFileUnreadable) {
#ifdef QUORVIN_TEST_ASAN
    GTEST_SKIP() << "the reader runs without an address-space limit under AddressSanitizer";
#endif
    TempDir dir;
    const std::string pdf = MakePdf(dir, "ricevuta.pdf", kReceipt);
    EXPECT_FALSE(MakeGuardedReader(ReaderLimits{60, 4LL << 20, 10000})->Read(pdf));
    EXPECT_TRUE(MakeGuardedReader(ReaderLimits{60, 1LL << 30, 10000})->Read(pdf));
}

TEST(PdfReader, RelativePathsFollowTheCallersFolder) {
    TempDir dir;
    MakePdf(dir, "ricevuta.pdf", kReceipt);
    const auto reader = MakeGuardedReader();
    EXPECT_FALSE(reader->Read("ricevuta.pdf")); // starts the child here
    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    const auto document = reader->Read("ricevuta.pdf");
    fs::current_path(previous);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->pages.size(), 2u);
}
