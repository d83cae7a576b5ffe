#include "engine/pdf/PopplerFile.h"

#include "archive/Utf8.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace quorvin::pdf {

namespace {

// The error budget of the file being read (0: none) and what happens past it.
std::atomic<long> g_errorBudget{0};
std::atomic<long> g_errors{0};
std::atomic<void (*)()> g_overBudget{nullptr};

void CountPopplerMessage(const std::string&, void*) {
    const long budget = g_errorBudget.load();
    if (g_errors.fetch_add(1) + 1 > budget && budget > 0) {
        if (auto* handler = g_overBudget.load()) {
            handler();
        }
    }
}

// Poppler reports damage on stderr by default; a bad file may produce millions of lines.
void SilencePoppler() {
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function(CountPopplerMessage, nullptr); });
}

// The crop box and /Rotate of a page: text_list() boxes are measured in the displayed
// page from its top-left corner, and are turned back into user space with these.
struct PageFrame {
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
    int rotate = 0;

    void ToUser(double dx, double dy, double& ux, double& uy) const {
        switch (rotate) {
        case 90:
            ux = x1 + dy;
            uy = y1 + dx;
            break;
        case 180:
            ux = x2 - dx;
            uy = y1 + dy;
            break;
        case 270:
            ux = x2 - dy;
            uy = y2 - dx;
            break;
        default:
            ux = x1 + dx;
            uy = y2 - dy;
            break;
        }
    }

    void SetBox(Word& word, double left, double top, double right, double bottom) const {
        double ax = 0;
        double ay = 0;
        double bx = 0;
        double by = 0;
        ToUser(left, top, ax, ay);
        ToUser(right, bottom, bx, by);
        word.xMin = std::min(ax, bx);
        word.xMax = std::max(ax, bx);
        word.yMin = std::min(ay, by);
        word.yMax = std::max(ay, by);
    }
};

int RotationDegrees(poppler::page::orientation_enum orientation) {
    switch (orientation) {
    case poppler::page::landscape:
        return 90;
    case poppler::page::upside_down:
        return 180;
    case poppler::page::seascape:
        return 270;
    default:
        return 0;
    }
}

std::u32string Decode(const poppler::ustring& text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

bool IsBlank(char32_t c) {
    return c == U' ' || c == U'\t' || c == 0xA0;
}

std::string Encode(const std::u32string& text, size_t from, size_t to) {
    std::string out;
    out.reserve(to - from);
    for (size_t i = from; i < to; ++i) {
        AppendUtf8(out, text[i]);
    }
    return out;
}

// Poppler sometimes hands back several words as one box; each gets the box of its own
// glyphs (or its share of the box when poppler gave no glyph boxes).
void AddSplitWord(const poppler::text_box& box, const std::u32string& text, const PageFrame& frame,
                  Page& page) {
    const poppler::rectf whole = box.bbox();
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) {
            ++i;
        }
        size_t end = i;
        while (end < text.size() && !IsBlank(text[end])) {
            ++end;
        }
        if (end == i) {
            break;
        }
        double left = 0;
        double top = 0;
        double right = 0;
        double bottom = 0;
        bool haveGlyphs = false;
        for (size_t k = i; k < end; ++k) {
            const poppler::rectf g = box.char_bbox(k);
            if (g.width() <= 0 && g.height() <= 0) {
                continue;
            }
            if (!haveGlyphs) {
                left = g.left();
                top = g.top();
                right = g.right();
                bottom = g.bottom();
                haveGlyphs = true;
            } else {
                left = std::min(left, g.left());
                top = std::min(top, g.top());
                right = std::max(right, g.right());
                bottom = std::max(bottom, g.bottom());
            }
        }
        if (!haveGlyphs) {
            const double n = static_cast<double>(text.size());
            left = whole.left() + whole.width() * static_cast<double>(i) / n;
            right = whole.left() + whole.width() * static_cast<double>(end) / n;
            top = whole.top();
            bottom = whole.bottom();
        }
        Word word;
        word.text = Encode(text, i, end);
        frame.SetBox(word, left, top, right, bottom);
        page.words.push_back(std::move(word));
        i = end;
    }
}

} // namespace

struct PopplerFile::Impl {
    std::unique_ptr<poppler::document> document;
    int pageCount = 0;
};

PopplerFile::PopplerFile(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
PopplerFile::~PopplerFile() = default;

void PopplerFile::ErrorBudget(long budget, void (*overBudget)()) {
    g_errorBudget = budget;
    g_overBudget = overBudget;
}

std::unique_ptr<PopplerFile> PopplerFile::Open(const std::string& path) {
    SilencePoppler();
    g_errors = 0;
    try {
        auto impl = std::make_unique<Impl>();
        impl->document.reset(poppler::document::load_from_file(path));
        // A document that wants a user password loads "locked"; touching its pages
        // then crashes poppler.
        if (!impl->document || impl->document->is_locked()) {
            return nullptr;
        }
        // A document without pages opens: it is simply not recognised.
        impl->pageCount = impl->document->pages();
        if (impl->pageCount < 0) {
            return nullptr;
        }
        return std::unique_ptr<PopplerFile>(new PopplerFile(std::move(impl)));
    } catch (...) {
        return nullptr;
    }
}

int PopplerFile::PageCount() const {
    return m_impl->pageCount;
}

Page PopplerFile::ReadPage(int index) const {
    Page page;
    try {
        std::unique_ptr<poppler::page> p(m_impl->document->create_page(index));
        if (!p) {
            return page;
        }
        const poppler::rectf crop = p->page_rect(poppler::crop_box);
        PageFrame frame;
        // page_rect's top() is the lower edge (it is the PDF rectangle's y1).
        frame.x1 = crop.left();
        frame.y1 = crop.top();
        frame.x2 = crop.left() + crop.width();
        frame.y2 = crop.top() + crop.height();
        frame.rotate = RotationDegrees(p->orientation());

        const std::vector<poppler::text_box> boxes = p->text_list();
        page.words.reserve(boxes.size());
        for (const poppler::text_box& box : boxes) {
            const std::u32string text = Decode(box.text());
            if (text.empty()) {
                continue;
            }
            if (std::find_if(text.begin(), text.end(), IsBlank) != text.end()) {
                AddSplitWord(box, text, frame, page);
                continue;
            }
            const poppler::rectf r = box.bbox();
            Word word;
            word.text = Encode(text, 0, text.size());
            frame.SetBox(word, r.left(), r.top(), r.right(), r.bottom());
            page.words.push_back(std::move(word));
        }
    } catch (...) {
        page.words.clear();
    }
    return page;
}

} // namespace quorvin::pdf
