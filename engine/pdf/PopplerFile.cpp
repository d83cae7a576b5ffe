#include "engine/pdf/PopplerFile.h"

#include "archive/Utf8.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

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

// Files up to this size are parsed from memory (poppler takes an int length).
constexpr std::streamoff kMaxBytesInMemory = 64 << 20;

// Below this many pages a second reader costs more (parsing the file again) than it
// saves.
constexpr int kPagesForTwoReaders = 24;

// The pages of one file as either reader finishes them, handed out in page order.
struct PageQueue {
    explicit PageQueue(int count) : pages(static_cast<size_t>(count)) {}
    std::atomic<int> next{0}; // the first page neither reader has taken yet
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<Page>> pages; // read, not yet handed out
    bool helperDone = true;
};

} // namespace

struct PopplerFile::Impl {
    std::string path;
    std::shared_ptr<const std::string> bytes; // the file, when it is read from memory
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
        // Poppler parses from memory without a read call per buffer it fills; a file
        // too big for that is read from the disk as it goes.
        auto bytes = std::make_shared<std::string>();
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
        if (size > 0 && size <= kMaxBytesInMemory) {
            bytes->resize(static_cast<size_t>(size));
            in.seekg(0);
            if (!in.read(bytes->data(), size)) {
                bytes->clear();
            }
        }
        return OpenAgain(path, std::move(bytes));
    } catch (...) {
        return nullptr;
    }
}

std::unique_ptr<PopplerFile> PopplerFile::OpenAgain(const std::string& path,
                                                    std::shared_ptr<const std::string> bytes) {
    try {
        auto impl = std::make_unique<Impl>();
        impl->path = path;
        impl->bytes = std::move(bytes);
        if (impl->bytes && !impl->bytes->empty()) {
            impl->document.reset(poppler::document::load_from_raw_data(
                impl->bytes->data(), static_cast<int>(impl->bytes->size())));
        } else {
            impl->document.reset(poppler::document::load_from_file(path));
        }
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

bool PopplerFile::ReadInOrder(const std::function<bool(Page&&)>& take) const {
    const int count = m_impl->pageCount;
    PageQueue queue(count);
    std::thread helper;
    // A file poppler complained about is read by one reader, as ever: a second one would
    // count the same complaints again against the file's error budget.
    bool twoReaders = count >= kPagesForTwoReaders && g_errors.load() == 0;
    if (twoReaders) {
        // The first page is read before the helper starts: poppler makes some state that
        // all documents share (colour profiles) on first use, without a lock.
        queue.pages[0] = ReadPage(0);
        queue.next = 1;
        twoReaders = g_errors.load() == 0;
    }
    if (twoReaders) {
        queue.helperDone = false;
        try {
            helper = std::thread([this, &queue, count] {
                int taken = -1;
                try {
                    if (const auto second = OpenAgain(m_impl->path, m_impl->bytes)) {
                        while (!queue.stop && (taken = queue.next.fetch_add(1)) < count) {
                            Page page = second->ReadPage(taken);
                            const std::lock_guard<std::mutex> lock(queue.mutex);
                            queue.pages[static_cast<size_t>(taken)] = std::move(page);
                            queue.changed.notify_all();
                        }
                    }
                } catch (...) {
                    // The page taken last stays empty: the caller's reader reads it.
                }
                const std::lock_guard<std::mutex> lock(queue.mutex);
                queue.helperDone = true;
                queue.changed.notify_all();
            });
        } catch (...) {
            queue.helperDone = true; // no thread to be had: one reader
        }
    }
    struct Join {
        PageQueue& queue;
        std::thread& helper;
        ~Join() {
            queue.stop = true;
            if (helper.joinable()) {
                helper.join();
            }
        }
    } join{queue, helper};

    for (int due = 0; due < count; ++due) {
        std::optional<Page> page;
        while (!page) {
            std::unique_lock<std::mutex> lock(queue.mutex);
            std::optional<Page>& slot = queue.pages[static_cast<size_t>(due)];
            if (slot) {
                page = std::move(slot);
                slot.reset();
                break;
            }
            lock.unlock();
            const int mine = queue.next.fetch_add(1);
            if (mine < count) {
                Page read = ReadPage(mine);
                if (mine == due) {
                    page = std::move(read);
                } else {
                    lock.lock();
                    queue.pages[static_cast<size_t>(mine)] = std::move(read);
                }
                continue;
            }
            // Every page is taken: the one due is the helper's.
            lock.lock();
            queue.changed.wait(lock, [&] { return slot.has_value() || queue.helperDone; });
            if (!slot) {
                lock.unlock();
                page = ReadPage(due); // the helper failed on it
            }
        }
        if (!take(std::move(*page))) {
            return false;
        }
    }
    return true;
}

} // namespace quorvin::pdf
