// SPDX-License-Identifier: GPL-3.0-or-later
// PDFs made in the browser, for any view: pdf-lib, fontkit and the font, loaded from the
// site's own files the first time a PDF is asked for (together they weigh more than the
// rest of the page); a Layout that flows headings, paragraphs, label–value rows, tables,
// images and boxes to sign down A4 pages, breaking and numbering them; and the file
// handed to the phone's share sheet where the browser can share files, downloaded
// elsewhere. The text stays text (pdftotext reads it), in DejaVu Sans Condensed embedded
// as a subset of the characters used: Latin, Greek, Cyrillic, λ, −, ≤, €. What the font
// cannot draw (emoji, CJK) prints as "?", and the page can ask first (cannotDraw).

let library;

// fontkit's bundle, run as a script of the site's (it defines self.fontkit).
function loadFontkit() {
  if (self.fontkit) return Promise.resolve(self.fontkit);
  return new Promise((resolve, reject) => {
    const script = document.createElement('script');
    script.src = 'pdf-lib/fontkit.umd.min.js';
    script.onload = () => resolve(self.fontkit);
    script.onerror = () => {
      script.remove();
      reject(new Error('no se pudo cargar fontkit'));
    };
    document.head.append(script);
  });
}

async function fontFile(name) {
  const response = await fetch(`fuentes/${name}`);
  if (!response.ok) throw new Error(`no se pudo cargar la fuente ${name}`);
  return new Uint8Array(await response.arrayBuffer());
}

// pdf-lib's module, fontkit and the font's files, loaded once; a failed load (offline
// before the site was cached) is tried again on the next call.
export function loadPdfLib() {
  library ??= Promise.all([import('./pdf-lib/pdf-lib.esm.min.js'), loadFontkit(), fontFile('DejaVuSansCondensed.ttf'),
    fontFile('DejaVuSansCondensed-Bold.ttf')])
    .then(([lib, fontkit, regular, bold]) => ({ lib, fontkit, regular, bold }))
    .catch((error) => {
      library = undefined;
      throw error;
    });
  return library;
}

const A4 = [595.28, 841.89];
const MARGIN = 42;
const FOOTER = 18; // the page's number and the footer's text, under the margin
const GREY = [0.35, 0.33, 0.31];
const RULE = [0.6, 0.58, 0.56];

// Characters a standard font lacks, as the nearest it has.
const SUBSTITUTES = new Map([['\u2082', '2'], ['\u2083', '3'], ['\u202f', ' '], ['\u2009', ' '], ['\t', ' ']]);

// The characters of a text as drawn: controls and the marks that isolate or reorder
// text (a name's bidi isolation) dropped, as a PDF's text is drawn in the order it is
// written; a few replaced by the nearest plain one.
const drawn = (text) => [...String(text).replace(/[\p{Cf}\p{Cc}]/gu, (m) => (SUBSTITUTES.has(m) ? m : ''))]
  .map((c) => SUBSTITUTES.get(c) ?? c);

// The text as one run of the regular (or bold) font; a character it lacks is "?".
function runs(fonts, text, bold) {
  const font = bold ? fonts.bold : fonts.regular;
  const chars = drawn(text).map((c) => (fonts.has(font, c.codePointAt(0)) ? c : '?'));
  return chars.length ? [{ font, text: chars.join('') }] : [];
}

function widthOf(fonts, text, size, bold) {
  return runs(fonts, text, bold).reduce((sum, run) => sum + run.font.widthOfTextAtSize(run.text, size), 0);
}

// The lines a text takes at a width: its own line ends kept, words wrapped, a word
// wider than the width cut where it must.
function wrap(fonts, text, size, bold, width) {
  const lines = [];
  for (const paragraph of String(text).split('\n')) {
    let line = '';
    for (const word of paragraph.split(' ')) {
      const tried = line ? `${line} ${word}` : word;
      if (widthOf(fonts, tried, size, bold) <= width) {
        line = tried;
        continue;
      }
      if (line) lines.push(line);
      line = '';
      for (const c of word) {
        if (line && widthOf(fonts, line + c, size, bold) > width) {
          lines.push(line);
          line = '';
        }
        line += c;
      }
    }
    lines.push(line);
  }
  return lines;
}

// A document laid out from the top of its first page down; create() it, add to it in
// reading order, then take its bytes().
export class Layout {
  // title, author, subject: the file's properties; footer: a text at the foot of every
  // page, beside its number (cut to leave room for it); header: a text at the head of
  // every page, in the margin above the content (what the document is about, so that a
  // loose page says it too).
  static async create({ title = '', author = '', subject = '', footer = '', header = '' } = {}) {
    const { lib, fontkit, regular: regularFile, bold: boldFile } = await loadPdfLib();
    const doc = await lib.PDFDocument.create();
    doc.registerFontkit(fontkit);
    doc.setTitle(title, { showInWindowTitleBar: true });
    doc.setAuthor(author);
    doc.setSubject(subject);
    doc.setCreator('Quemador1');
    doc.setLanguage('es-ES');
    const [regular, bold] = await Promise.all([regularFile, boldFile].map((bytes) => doc.embedFont(bytes, { subset: true })));
    const sets = new Map([regular, bold].map((font) => [font, new Set(font.getCharacterSet())]));
    const fonts = { regular, bold, has: (font, code) => sets.get(font).has(code) };
    const layout = new Layout(lib, doc, fonts, footer);
    layout.header = header;
    return layout;
  }

  // The characters of a text that the PDF's font cannot draw (each once): they would
  // print as "?".
  cannotDraw(text) {
    const both = (c) => this.fonts.has(this.fonts.regular, c.codePointAt(0)) && this.fonts.has(this.fonts.bold, c.codePointAt(0));
    return [...new Set(drawn(text).filter((c) => !both(c)))];
  }

  constructor(lib, doc, fonts, footer) {
    this.lib = lib;
    this.doc = doc;
    this.fonts = fonts;
    this.footer = footer;
    // The column being written: its left edge and width (the page's, or a part of it).
    this.left = MARGIN;
    this.width = A4[0] - 2 * MARGIN;
    this.newPage();
  }

  newPage() {
    this.page = this.doc.addPage(A4);
    this.y = A4[1] - MARGIN;
  }

  // Room for height points below, or a new page.
  keep(height) {
    if (this.y - height < MARGIN + FOOTER) this.newPage();
  }

  space(points = 8) {
    this.y -= points;
  }

  colour([r, g, b]) {
    return this.lib.rgb(r, g, b);
  }

  // One line of text whose top is at the cursor's height minus top, at x.
  drawLine(text, x, top, { size = 10, bold = false, colour = [0, 0, 0] } = {}) {
    let at = x;
    for (const run of runs(this.fonts, text, bold)) {
      this.page.drawText(run.text, { x: at, y: this.y - top - size * 0.8, size, font: run.font,
        color: this.colour(colour) });
      at += run.font.widthOfTextAtSize(run.text, size);
    }
  }

  widthOf(text, { size = 10, bold = false } = {}) {
    return widthOf(this.fonts, text, size, bold);
  }

  // A wrapped text in a column: its lines, and the height they take.
  lines(text, width, { size = 10, bold = false } = {}) {
    const lines = wrap(this.fonts, text, size, bold, width);
    return { lines, height: lines.length * size * 1.25 };
  }

  // A paragraph the width of the page (or indented), each line kept on a page.
  paragraph(text, { size = 10, bold = false, colour, indent = 0, after = 4 } = {}) {
    for (const line of wrap(this.fonts, text, size, bold, this.width - indent)) {
      this.keep(size * 1.25);
      this.drawLine(line, this.left + indent, 0, { size, bold, colour });
      this.y -= size * 1.25;
    }
    this.y -= after;
  }

  // A heading, kept with what follows it (keepWith points of it).
  heading(text, { size = 13, colour = [0, 0, 0], keepWith = 30 } = {}) {
    this.keep(size * 1.4 + keepWith);
    this.space(size * 0.4);
    this.paragraph(text, { size, bold: true, colour, after: 3 });
  }

  // A thin line across the page.
  rule() {
    this.keep(6);
    this.page.drawLine({ start: { x: this.left, y: this.y - 2 }, end: { x: this.left + this.width, y: this.y - 2 },
      thickness: 0.5, color: this.colour(RULE) });
    this.y -= 6;
  }

  // Rows of [label, value, options]: the label in bold in the first column (labelShare
  // of the width), the value wrapped beside it; options.colour and options.bold for the
  // value. Rows whose value is empty are left out.
  rows(rows, { size = 10, labelShare = 0.36 } = {}) {
    for (const row of this.rowsLaid(rows, size, labelShare)) {
      this.keep(row.height);
      row.draw();
    }
  }

  // Each row's height, and how to draw it at the cursor.
  rowsLaid(rows, size, labelShare) {
    const labelWidth = this.width * labelShare;
    return rows.filter((row) => row[1] !== undefined && row[1] !== '').map(([label, value, options = {}]) => {
      const left = this.lines(label, labelWidth - 8, { size, bold: true });
      const right = this.lines(value, this.width - labelWidth, { size, bold: options.bold });
      const height = Math.max(left.height, right.height) + 2;
      return { height, draw: () => {
        left.lines.forEach((line, i) => this.drawLine(line, this.left, i * size * 1.25, { size, bold: true }));
        right.lines.forEach((line, i) => this.drawLine(line, this.left + labelWidth, i * size * 1.25,
          { size, bold: options.bold, colour: options.colour }));
        this.y -= height;
      } };
    });
  }

  // Sections of a heading and rows, side by side in equal columns (the parties of a
  // report, say), kept together on a page.
  sideBySide(sections, { size = 10, gap = 18, labelShare = 0.42 } = {}) {
    const [left, width] = [this.left, this.width];
    this.width = (width - gap * (sections.length - 1)) / sections.length;
    const laid = sections.map(({ heading, rows }) => ({ heading, rows: this.rowsLaid(rows, size, labelShare) }));
    const headingHeight = (size + 2) * 1.25 + 6;
    const height = Math.max(...laid.map(({ rows }) => rows.reduce((sum, row) => sum + row.height, headingHeight)));
    this.keep(height);
    const top = this.y;
    laid.forEach(({ heading, rows }, i) => {
      this.left = left + i * (this.width + gap);
      this.y = top - 4;
      this.drawLine(heading, this.left, 0, { size: size + 2, bold: true });
      this.y -= headingHeight - 4;
      for (const row of rows) row.draw();
    });
    [this.left, this.width, this.y] = [left, width, top - height - 4];
  }

  // A table: columns [{title, share (of the width), align: 'left' | 'right'}], rows of
  // cells (a text, or {text, bold, colour}); its heading row repeated on each page.
  table(columns, rows, { size = 9 } = {}) {
    const widths = columns.map((column) => column.share * this.width);
    const cell = (value) => (typeof value === 'object' && value !== null ? value : { text: String(value ?? '') });
    const draw = (cells, bold) => {
      const laid = cells.map((value, i) => ({ ...cell(value), ...this.lines(cell(value).text, widths[i] - 6,
        { size, bold: bold || cell(value).bold }) }));
      const height = Math.max(...laid.map((c) => c.height)) + 4;
      return { height, draw: () => {
        let x = this.left;
        laid.forEach((c, i) => {
          c.lines.forEach((line, n) => {
            const options = { size, bold: bold || c.bold, colour: c.colour };
            const shift = columns[i].align === 'right' ? widths[i] - 3 - this.widthOf(line, options) : 3;
            this.drawLine(line, x + shift, 2 + n * size * 1.25, options);
          });
          x += widths[i];
        });
        this.page.drawLine({ start: { x: this.left, y: this.y - height }, end: { x: this.left + this.width, y: this.y - height },
          thickness: bold ? 0.8 : 0.4, color: this.colour(RULE) });
        this.y -= height;
      } };
    };
    const header = draw(columns.map((column) => column.title), true);
    const rowsLaid = rows.map((cells) => draw(cells, false));
    this.keep(header.height + (rowsLaid[0]?.height ?? 0));
    header.draw();
    for (const row of rowsLaid) {
      if (this.y - row.height < MARGIN + FOOTER) {
        this.newPage();
        header.draw();
      }
      row.draw();
    }
    this.y -= 4;
  }

  // A PNG (a chart, say), as wide as the page or as asked, kept whole on a page.
  async image(png, { width = this.width } = {}) {
    const image = await this.doc.embedPng(png);
    const shown = Math.min(width, this.width);
    const height = (image.height * shown) / image.width;
    this.keep(height);
    this.page.drawImage(image, { x: this.left, y: this.y - height, width: shown, height });
    this.y -= height + 6;
  }

  // An image for the document: a PNG or JPEG, as bytes or a data: URL.
  embedImage(source) {
    const jpeg = typeof source === 'string' ? /^data:image\/jpe?g/.test(source) : source[0] === 0xff && source[1] === 0xd8;
    return jpeg ? this.doc.embedJpg(source) : this.doc.embedPng(source);
  }

  // An embedded image scaled to fit width × height, keeping its proportions: its size.
  static fitted(image, width, height) {
    const scale = Math.min(width / image.width, height / image.height, 1);
    return [image.width * scale, image.height * scale];
  }

  // An embedded image at the top right of the cursor's place (a company's logo beside the
  // title), taking no room from what follows.
  corner(image, { width = 140, height = 44 } = {}) {
    const [w, h] = Layout.fitted(image, width, height);
    this.page.drawImage(image, { x: this.left + this.width - w, y: this.y - h, width: w, height: h });
  }

  // Boxes side by side, each with its caption above (places to sign, say), and in each
  // its embedded image when one is given (a signature drawn on the page).
  boxes(captions, { height = 56, size = 9, images = [] } = {}) {
    const gap = 16;
    const width = (this.width - gap * (captions.length - 1)) / captions.length;
    this.keep(height + size * 1.25 + 4);
    captions.forEach((caption, i) => {
      const x = this.left + i * (width + gap);
      const y = this.y - size * 1.25 - 2 - height;
      this.drawLine(caption, x, 0, { size, colour: GREY });
      this.page.drawRectangle({ x, y, width, height, borderColor: this.colour(RULE), borderWidth: 0.8 });
      if (images[i]) {
        const [w, h] = Layout.fitted(images[i], width - 8, height - 6);
        this.page.drawImage(images[i], { x: x + (width - w) / 2, y: y + (height - h) / 2, width: w, height: h });
      }
    });
    this.y -= height + size * 1.25 + 8;
  }

  // A text cut with "…" to a width.
  cut(text, width, options) {
    if (this.widthOf(text, options) <= width) return text;
    const chars = [...text];
    while (chars.length && this.widthOf(`${chars.join('').trimEnd()}…`, options) > width) chars.pop();
    return `${chars.join('').trimEnd()}…`;
  }

  // The document's bytes, each page numbered ("Página 1 de 2") beside the footer, under
  // the header.
  async bytes() {
    const pages = this.doc.getPages();
    const small = { size: 8, colour: GREY };
    pages.forEach((page, i) => {
      this.page = page;
      this.y = MARGIN;
      const number = `Página ${i + 1} de ${pages.length}`;
      const numberWidth = this.widthOf(number, small);
      this.drawLine(this.cut(this.footer, this.width - numberWidth - 12, small), MARGIN, 0, small);
      this.drawLine(number, MARGIN + this.width - numberWidth, 0, small);
      if (this.header) {
        this.y = A4[1] - MARGIN + 18;
        this.drawLine(this.cut(this.header, this.width, small), MARGIN, 0, small);
      }
    });
    return this.doc.save();
  }
}

// Saves a file through the browser's downloads.
export function download(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

// A PDF handed to the system's share sheet (mail, messaging) where the browser can
// share files, downloaded otherwise, or when sharing fails for any reason but the user's
// cancelling it. Gives 'compartido', 'cancelado' or 'descargado'.
export async function shareOrDownload(bytes, name, title) {
  const file = new File([bytes], name, { type: 'application/pdf' });
  if (navigator.canShare?.({ files: [file] })) {
    try {
      await navigator.share({ files: [file], title });
      return 'compartido';
    } catch (error) {
      if (error.name === 'AbortError') return 'cancelado';
    }
  }
  download(file, name);
  return 'descargado';
}
