#!/usr/bin/python3
"""Renders receipt templates through PDF producers other than our fixture writer.

Usage: render.py OUTDIR PRODUCER TEMPLATE...
Writes OUTDIR/PRODUCER/<template name>.pdf for every template. Producers:
  ghostscript      enscript (Courier, Latin-1) then ps2pdf
  groff            groff -Tpdf, constant-width font, no fill
  cairo            Cairo, a proportional font, each line drawn as one piece
  reportlab-words  ReportLab, Helvetica, each word placed by itself
  reportlab-chars  ReportLab, Helvetica, each character placed by itself, kerned so that
                   boxes overlap; no blank is drawn
Exits 2 with a message when a producer's program or module is missing.
"""
import os
import shutil
import subprocess
import sys
import tempfile

PAGE_W, PAGE_H = 595.0, 842.0


def pages_of(path):
    """The printed pages of a template: header lines dropped, form feeds split pages."""
    with open(path, encoding="utf-8") as f:
        lines = [l for l in f.read().split("\n") if not l.startswith("#!")]
    pages, page = [], []
    for line in lines:
        if line.startswith("\f"):
            pages.append(page)
            page = []
            line = line[1:]
        page.append(line)
    pages.append(page)
    while pages and pages[-1] and pages[-1][-1] == "":
        pages[-1].pop()
    return pages


def need(program):
    if shutil.which(program) is None:
        sys.exit(f"produttore mancante: il programma '{program}' non è installato")


def latin1(text):
    # enscript reads Latin-1; the ASCII apostrophe is what a report engine prints.
    text = text.replace("\u2019", "'").replace("\u20ac", "EUR")
    return text.encode("latin-1", "replace")


def ghostscript(pages, out):
    need("enscript")
    need("ps2pdf")
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "r.txt")
        with open(src, "wb") as f:
            f.write(b"\f".join(latin1("\n".join(p) + "\n") for p in pages))
        ps = os.path.join(tmp, "r.ps")
        subprocess.run(["enscript", "-q", "-B", "-X", "latin1", "-f", "Courier8", "-L", "72",
                        "--margins=24:24:24:24", "-p", ps, src], check=True)
        subprocess.run(["ps2pdf", "-sPAPERSIZE=a4", ps, out], check=True)


def groff_escape(line):
    line = line.replace("\\", "\\e")
    if line.startswith(".") or line.startswith("'"):
        line = "\\&" + line
    return line


def groff(pages, out):
    need("groff")
    body = [".pl 29.7c", ".ll 20c", ".po 1c", ".ps 9", ".vs 10.5p", ".nf", ".ft CR", ".sp 1c"]
    for i, page in enumerate(pages):
        if i:
            body += [".bp", ".sp 1c"]
        body += [groff_escape(l) if l else "" for l in page]
    with open(out, "wb") as f:
        subprocess.run(["groff", "-Tpdf", "-Kutf8", "-dpaper=a4", "-P-pa4"],
                       input="\n".join(body).encode("utf-8"), stdout=f, check=True)


def cairo_pdf(pages, out):
    try:
        import cairo
    except ImportError:
        sys.exit("produttore mancante: il modulo Python 'cairo' (python3-cairo) non è installato")
    surface = cairo.PDFSurface(out, PAGE_W, PAGE_H)
    ctx = cairo.Context(surface)
    ctx.select_font_face("DejaVu Sans", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_NORMAL)
    for page in pages:
        ctx.set_font_size(7.5)
        for row, line in enumerate(page):
            if line.strip():
                # Leading blanks keep their width; the text is one piece per line.
                ctx.move_to(24, 40 + row * 10.8)
                ctx.show_text(line)
        ctx.show_page()
    surface.finish()


def reportlab_pdf(pages, out, by_char):
    try:
        from reportlab.pdfgen import canvas
        from reportlab.pdfbase.pdfmetrics import stringWidth
    except ImportError:
        sys.exit("produttore mancante: il modulo Python 'reportlab' (python3-reportlab) non è installato")
    c = canvas.Canvas(out, pagesize=(PAGE_W, PAGE_H))
    cell = 5.6
    for page in pages:
        for row, line in enumerate(page):
            y = PAGE_H - 40 - row * 10.8
            col = 0
            for word in line.split(" "):
                if not word:
                    col += 1
                    continue
                x = 16 + col * cell
                if by_char:
                    # Kerned tighter than the font's widths, so neighbouring boxes
                    # overlap; no blank is ever drawn, words stand apart by position.
                    c.setFont("Helvetica", 5.4)
                    for ch in word:
                        c.drawString(x, y, ch)
                        x += stringWidth(ch, "Helvetica", 5.4) * 0.92
                else:
                    # Proportional widths and sizes differ a little from word to word.
                    c.setFont("Helvetica", 5.4 if len(word) % 2 else 5.6)
                    c.drawString(x, y, word)
                col += len(word) + 1
        c.showPage()
    c.save()


PRODUCERS = {
    "ghostscript": ghostscript,
    "groff": groff,
    "cairo": cairo_pdf,
    "reportlab-words": lambda p, o: reportlab_pdf(p, o, False),
    "reportlab-chars": lambda p, o: reportlab_pdf(p, o, True),
}


def main():
    if len(sys.argv) < 4 or sys.argv[2] not in PRODUCERS:
        sys.exit(__doc__)
    outdir, producer, templates = sys.argv[1], sys.argv[2], sys.argv[3:]
    folder = os.path.join(outdir, producer)
    os.makedirs(folder, exist_ok=True)
    for t in templates:
        name = os.path.splitext(os.path.basename(t))[0] + ".pdf"
        PRODUCERS[producer](pages_of(t), os.path.join(folder, name))


if __name__ == "__main__":
    main()
