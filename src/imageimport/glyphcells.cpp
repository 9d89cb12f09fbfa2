// Monospaced lines of the application's entity font read cell by cell at their own size.
#include "glyphcells.h"

#include "glyphtemplatecache.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLoggingCategory>
#include <QPainter>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcCells, "velmora.imageimport.text.cells", QtWarningMsg)

namespace {

constexpr QLatin1StringView CellCharacters("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.,()");
constexpr int MaskWidth = 64;
// The entity font's size in points, as the boxes draw it; other sizes are this one scaled,
// as a zoomed view or a scaled rendering draws it.
constexpr double EntityPointSize = 10.0;

QFont cellFont(CellStyle style)
{
    QFont font(QStringLiteral("JetBrains Mono"));
    font.setPointSizeF(EntityPointSize);
    font.setItalic(style == CellStyle::Slanted);
    return font;
}

double scaleOf(int scaleKey)
{
    return scaleKey / double(CellScaleSteps);
}

// Drawn as the scene draws text, on a colour image at the scale of the picture, so that its
// grey edges come out alike.
std::vector<quint64> drawnRows(QChar character, const QFont &font, double scale, int height, double originX,
                                int baseline, int inkBelow)
{
    QImage image(MaskWidth, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.scale(scale, scale);
        painter.drawText(QPointF(originX / scale, baseline / scale), QString(character));
    }
    std::vector<quint64> rows(size_t(height), 0);
    for (int y = 0; y < height; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < MaskWidth; ++x) {
            if (qGray(line[x]) < inkBelow)
                rows[size_t(y)] |= quint64(1) << x;
        }
    }
    return rows;
}

std::pair<int, int> inkedRows(const std::vector<quint64> &rows)
{
    int top = -1;
    int bottom = -1;
    for (size_t y = 0; y < rows.size(); ++y) {
        if (rows[y]) {
            if (top < 0)
                top = int(y);
            bottom = int(y);
        }
    }
    return {top, bottom};
}

// The ink of a line as bit rows, read 64 columns at a time from any column.
class LineBits
{
public:
    explicit LineBits(const QImage &line)
        : m_height(line.height())
        , m_words((line.width() + 63) / 64)
        , m_bits(size_t(m_height) * size_t(m_words), 0)
    {
        for (int y = 0; y < m_height; ++y) {
            const uchar *row = line.constScanLine(y);
            quint64 *out = &m_bits[size_t(y) * size_t(m_words)];
            for (int x = 0; x < line.width(); ++x) {
                if (row[x] == 0)
                    out[x / 64] |= quint64(1) << (x % 64);
            }
        }
    }

    // Bit j is the pixel at column left + j; nothing outside the line.
    quint64 window(int y, int left) const
    {
        if (y < 0 || y >= m_height)
            return 0;
        const quint64 *row = &m_bits[size_t(y) * size_t(m_words)];
        const auto word = [&](int i) { return i < 0 || i >= m_words ? quint64(0) : row[i]; };
        const int index = left >= 0 ? left / 64 : -((63 - left) / 64);
        const int shift = left - index * 64;
        const quint64 low = word(index) >> shift;
        const quint64 high = shift == 0 ? 0 : word(index + 1) << (64 - shift);
        return low | high;
    }

private:
    int m_height;
    int m_words;
    std::vector<quint64> m_bits;
};

int bitCount(quint32 v)
{
    v = v - ((v >> 1) & 0x55555555u);
    v = (v & 0x33333333u) + ((v >> 2) & 0x33333333u);
    return int((((v + (v >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24);
}

struct CellFit
{
    QChar character;
    int differing = 0;
    int inked = 0;
};

// Compares the cells of one line with the characters of one face.
class CellMatcher
{
public:
    CellMatcher(const LineBits &bits, int width, int baseline, QPair<int, int> core, const CellFace &face)
        : m_bits(bits), m_core(core), m_face(face), m_shift(baseline - face.baseline)
        , m_firstColumn(-int(std::ceil(face.pitch)) - 4)
        , m_fits(size_t(width - m_firstColumn + 2) * CellFace::Phases)
        , m_window(size_t(face.lastRow - face.firstRow + 1))
    {
    }

    // The best character for the cell whose drawing origin is at position x (in pixels of
    // the line; its fraction picks the drawing of the characters). Placing a word tries many
    // positions that fall on the same pixel and quarter, so each is compared once.
    CellFit fit(double x)
    {
        const int column = int(std::floor(x));
        const int phase = std::clamp(int((x - column) * CellFace::Phases), 0, CellFace::Phases - 1);
        const size_t slot = size_t(column - m_firstColumn) * CellFace::Phases + size_t(phase);
        if (column < m_firstColumn || slot >= m_fits.size())
            return compare(column, phase);
        if (m_fits[slot].character.isNull())
            m_fits[slot] = compare(column, phase);
        return m_fits[slot];
    }

private:
    CellFit compare(int column, int phase)
    {
        bool inked = false;
        int windowInk = 0;
        const size_t rows = m_window.size();
        for (size_t r = 0; r < rows; ++r) {
            const int y = m_face.firstRow + int(r) + m_shift;
            m_window[r] = quint32(m_bits.window(y, column - CellFace::Origin + CellFace::SpanStart)) & m_face.spanMask;
            windowInk += bitCount(m_window[r]);
            if (y >= m_core.first && y <= m_core.second && m_window[r])
                inked = true;
        }
        if (!inked)
            return {QChar(u' '), 0, 0};
        CellFit best{QChar(), 1 << 30, 0};
        for (const CellFace::Glyph &glyph : m_face.glyphs[phase]) {
            // The counts of ink alone already differ by this much.
            if (std::abs(windowInk - glyph.inked) >= best.differing)
                continue;
            int differing = 0;
            for (size_t r = 0; r < rows && differing < best.differing; ++r)
                differing += bitCount(m_window[r] ^ glyph.cell[r]);
            if (differing < best.differing) {
                int either = 0;
                for (size_t r = 0; r < rows; ++r)
                    either += bitCount(m_window[r] | glyph.cell[r]);
                best = {glyph.character, differing, either};
            }
        }
        return best;
    }

    const LineBits &m_bits;
    QPair<int, int> m_core;
    const CellFace &m_face;
    int m_shift;
    int m_firstColumn;
    std::vector<CellFit> m_fits;  // by column and phase; null character: not compared yet
    std::vector<quint32> m_window;
};

struct WordReading
{
    QString text;
    int differing = 0;
    int inked = 0;

};

WordReading readCells(CellMatcher &matcher, double first, int right, double pitch, int limit)
{
    WordReading reading;
    for (int k = 0; k < limit; ++k) {
        const double origin = first + k * pitch;
        if (origin > right)
            break;
        // Each letter may settle a quarter pixel either way of the word's grid: the grey of
        // its edges after thresholding does not always follow its exact position.
        CellFit cell = matcher.fit(origin);
        for (double nudge : {-0.25, 0.25}) {
            const CellFit other = matcher.fit(origin + nudge);
            if (other.differing < cell.differing)
                cell = other;
        }
        reading.text.append(cell.character);
        reading.differing += cell.differing;
        reading.inked += cell.inked;
    }
    return reading;
}

// The word whose first ink is at column left and last at right. Its first cell begins at
// most a pitch left of the first ink (a slanted letter may reach left of its cell); the first
// few cells place it to a quarter pixel, and the whole word then to a sixteenth, as the
// fraction that the pitch adds with every cell decides where each later letter is drawn.
WordReading readWord(CellMatcher &matcher, int left, int right, double pitch)
{
    constexpr int DecidingCells = 3;
    constexpr double Coarse = 0.25;
    constexpr double Fine = 1.0 / 16;
    double coarseFirst = left;
    int fewest = -1;
    for (double first = std::floor(left - pitch - 1); first <= left + 1; first += Coarse) {
        const int differing = readCells(matcher, first, right, pitch, DecidingCells).differing;
        if (fewest < 0 || differing < fewest) {
            fewest = differing;
            coarseFirst = first;
        }
    }
    WordReading best;
    for (double first = coarseFirst - 0.5; first <= coarseFirst + 0.5; first += Fine) {
        WordReading reading = readCells(matcher, first, right, pitch, 1 << 20);
        if (best.text.isEmpty() || reading.differing < best.differing)
            best = std::move(reading);
    }
    return best;
}

} // namespace

CellFace::CellFace(int scaleKey, CellStyle style, int inkBelow)
{
    const double scale = scaleOf(scaleKey);
    const QFont font = cellFont(style);
    const QFontMetricsF metrics(font);
    pitch = metrics.horizontalAdvance(QLatin1Char('0')) * scale;
    const int drawnBaseline = int(std::ceil(metrics.ascent() * scale)) + 2;
    const int height = drawnBaseline + int(std::ceil(metrics.descent() * scale)) + 3;
    for (int phase = 0; phase < Phases; ++phase) {
        for (QChar character : CellCharacters)
            glyphs[phase].push_back({character, drawnRows(character, font, scale, height, Origin + double(phase) / Phases, drawnBaseline, inkBelow), {}, 0});
        // A space inside a word: a slanted neighbour may lean into its cell.
        glyphs[phase].push_back({QLatin1Char(' '), std::vector<quint64>(size_t(height), 0), {}, 0});
    }
    firstRow = height;
    for (const Glyph &glyph : glyphs[0]) {
        const auto [top, bottom] = inkedRows(glyph.rows);
        if (top >= 0) {
            firstRow = std::min(firstRow, top);
            lastRow = std::max(lastRow, bottom);
        }
    }
    const auto rowsOf = [&](char c) {
        for (const Glyph &glyph : glyphs[0]) {
            if (glyph.character == QLatin1Char(c))
                return inkedRows(glyph.rows);
        }
        return std::pair<int, int>(-1, -1);
    };
    const auto [xTop, xBottom] = rowsOf('x');
    baseline = xBottom;
    // A cell and a column either side: slanted letters lean out of their cell.
    const int span = std::min(int(std::ceil(pitch)) + 2, 32);
    spanMask = span >= 32 ? ~quint32(0) : (quint32(1) << span) - 1;
    for (std::vector<Glyph> &drawn : glyphs) {
        for (Glyph &glyph : drawn) {
            for (int r = firstRow; r <= lastRow; ++r) {
                glyph.cell.push_back(quint32(glyph.rows[size_t(r)] >> SpanStart) & spanMask);
                glyph.inked += bitCount(glyph.cell.back());
            }
        }
    }
}

CellReading readCellLine(const QImage &line, int baseline, QPair<int, int> core, const CellFace &face)
{
    CellReading reading;
    if (line.isNull() || face.glyphs[0].empty() || face.pitch < 3 || face.pitch > 28)
        return reading;
    // Words lie apart by more than a cell and a half; a single space inside one is an empty cell.
    std::vector<bool> inkedColumn(size_t(line.width()), false);
    for (int y = std::max(core.first, 0); y <= std::min(core.second, line.height() - 1); ++y) {
        const uchar *row = line.constScanLine(y);
        for (int x = 0; x < line.width(); ++x)
            inkedColumn[size_t(x)] = inkedColumn[size_t(x)] || row[x] == 0;
    }
    const int wordGap = int(std::ceil(1.5 * face.pitch));
    const LineBits bits(line);
    CellMatcher matcher(bits, line.width(), baseline, core, face);
    int differing = 0;
    int inked = 0;
    int x = 0;
    while (x < line.width()) {
        if (!inkedColumn[size_t(x)]) {
            ++x;
            continue;
        }
        int right = x;
        for (int probe = x; probe < line.width() && probe - right <= wordGap; ++probe) {
            if (inkedColumn[size_t(probe)])
                right = probe;
        }
        const WordReading word = readWord(matcher, x, right, face.pitch);
        if (!reading.text.isEmpty())
            reading.text.append(u' ');
        reading.text.append(word.text);
        differing += word.differing;
        inked += word.inked;
        x = right + 1;
    }
    reading.text = reading.text.simplified();
    reading.misfit = inked == 0 ? 1.0 : double(differing) / inked;
    reading.differing = differing;
    return reading;
}

namespace {

// A line read in the entity font fits its characters this well or it is read otherwise; once
// a line has fitted that well at a size, later lines at that size may fit less well (the
// slanted rows of foreign keys do): other fonts seldom fit even the looser bound.
constexpr double AcceptedMisfit = 0.3;
constexpr double AcceptedAtKnownSize = 0.4;
// An upright reading this good is not compared with a slanted one.
constexpr double PlainlyUpright = 0.25;
// The scales a picture of the boxes is read at: from half to three times their own size.
constexpr int ActualScale = CellScaleSteps;
constexpr int SmallestScale = CellScaleSteps / 2;
constexpr int LargestScale = CellScaleSteps * 3;
// How far the pitch of a line may lie from what the height of its letters tells.
constexpr double PitchLatitude = 0.18;
constexpr double PitchStep = 0.002;
constexpr double NeighbourScaleMargin = 0.85;
constexpr double Tau = 6.283185307179586;
// How dark a pixel of a character drawn black on white must be to count as ink: pictures are
// thresholded at a grey that depends on their colours, which makes their strokes thinner or
// thicker; the level that fits a picture's first lines is kept for the others.
constexpr int InkLevels[] = {112, 128, 144};
constexpr int MiddleInk = 128;
// Lines of one picture differ in colour (a title on its band, rows on the body), and the
// picture's one threshold leaves some of them heavier: each line is also read a level darker.
constexpr int HeavierInk = 32;

// Heights measured on a line are off by a row or so, more on large text.
bool heightsAgree(QPair<int, int> face, int smallHeight, int tallHeight)
{
    const auto near = [](int measured, int drawn) { return std::abs(measured - drawn) <= std::max(1, drawn / 8); };
    return near(smallHeight, face.first) && near(tallHeight, face.second);
}

// The pitch of a monospaced line near an expected one. Every character is centred in a cell
// of the pitch, spaces included, so the centres of the characters standing apart lie on one
// grid: the pitch is where their phases agree best. 0 when too few characters stand apart.
double linePitch(const QImage &line, QPair<int, int> core, double expected)
{
    std::vector<bool> inked(size_t(line.width()), false);
    for (int y = std::max(core.first, 0); y <= std::min(core.second, line.height() - 1); ++y) {
        const uchar *row = line.constScanLine(y);
        for (int x = 0; x < line.width(); ++x)
            inked[size_t(x)] = inked[size_t(x)] || row[x] == 0;
    }
    std::vector<double> centres;
    for (int x = 0; x < line.width();) {
        if (!inked[size_t(x)]) {
            ++x;
            continue;
        }
        int end = x;
        while (end < line.width() && inked[size_t(end)])
            ++end;
        if (end - x <= 1.3 * expected)
            centres.push_back((x + end - 1) / 2.0);
        x = end;
    }
    if (centres.size() < 4)
        return 0;
    double best = 0;
    double bestAgreement = -1;
    for (double pitch = expected * (1 - PitchLatitude); pitch <= expected * (1 + PitchLatitude);
         pitch += expected * PitchStep) {
        double c = 0;
        double s = 0;
        for (double centre : centres) {
            const double phase = Tau * centre / pitch;
            c += std::cos(phase);
            s += std::sin(phase);
        }
        const double agreement = c * c + s * s;
        if (agreement > bestAgreement) {
            bestAgreement = agreement;
            best = pitch;
        }
    }
    return best;
}

} // namespace

QPair<int, int> cellFaceHeights(int scaleKey)
{
    const double scale = scaleOf(scaleKey);
    const QFont font = cellFont(CellStyle::Upright);
    const QFontMetricsF metrics(font);
    const int baseline = int(std::ceil(metrics.ascent() * scale)) + 2;
    const int height = baseline + int(std::ceil(metrics.descent() * scale)) + 3;
    const auto [xTop, xBottom] = inkedRows(drawnRows(QLatin1Char('x'), font, scale, height, CellFace::Origin, baseline, MiddleInk));
    const auto [dTop, dBottom] = inkedRows(drawnRows(QLatin1Char('d'), font, scale, height, CellFace::Origin, baseline, MiddleInk));
    return {xBottom - xTop + 1, xBottom - dTop + 1};
}

double cellPitch(int scaleKey)
{
    return QFontMetricsF(cellFont(CellStyle::Upright)).horizontalAdvance(QLatin1Char('0')) * scaleOf(scaleKey);
}

CellReading readEntityFontLine(const QImage &line, int baseline, QPair<int, int> core, int smallHeight,
                               int tallHeight, GlyphTemplateCache &cache)
{
    const auto readAt = [&](int size, int ink) {
        CellReading upright = readCellLine(line, baseline, core, cache.cellFace(size, CellStyle::Upright, ink));
        if (upright.misfit <= PlainlyUpright)
            return upright;
        CellReading slanted = readCellLine(line, baseline, core, cache.cellFace(size, CellStyle::Slanted, ink));
        return slanted.differing < upright.differing ? slanted : upright;
    };
    // Once a picture has shown its size, lines of that height are read at it and no other.
    const int known = cache.lastCellSize;
    if (known > 0 && heightsAgree(cache.cellHeights(known), smallHeight, tallHeight)) {
        CellReading reading = readAt(known, cache.lastCellInk);
        CellReading heavier = readCellLine(line, baseline, core,
                                           cache.cellFace(known, CellStyle::Upright, cache.lastCellInk + HeavierInk));
        if (heavier.differing < reading.differing)
            reading = std::move(heavier);
        return reading.misfit <= AcceptedAtKnownSize ? reading : CellReading{QString(), reading.misfit, reading.differing};
    }
    // Pictures in other fonts give up the search after a few lines.
    if (cache.cellSearchesLeft <= 0 || tallHeight <= 0)
        return CellReading();
    // The scale the height of the tall letters tells, made exact by the line's pitch.
    const QPair<int, int> actual = cache.cellHeights(ActualScale);
    const double expected = cellPitch(ActualScale) * tallHeight / std::max(actual.second, 1);
    const double pitch = linePitch(line, core, expected);
    if (pitch <= 0)
        return CellReading();
    const int estimate = int(std::lround(ActualScale * pitch / cellPitch(ActualScale)));
    qCDebug(lcCells) << "pitch" << pitch << "expected" << expected << "scale" << estimate << "heights" << smallHeight
                     << tallHeight << cache.cellHeights(estimate);
    QList<int> sizes;
    for (int size : {estimate, estimate - 1, estimate + 1}) {
        if (size >= SmallestScale && size <= LargestScale && heightsAgree(cache.cellHeights(size), smallHeight, tallHeight))
            sizes.append(size);
    }
    CellReading best;
    int bestSize = 0;
    int bestInk = 0;
    for (int size : std::as_const(sizes)) {
        for (int ink : InkLevels) {
            CellReading reading = readAt(size, ink);
            // The scale the pitch tells is kept for the picture's longer lines unless a
            // neighbour fits this one clearly better: a short line fits either about as well.
            const bool clearlyBetter = size == estimate ? reading.differing < best.differing
                                                        : reading.differing < best.differing * NeighbourScaleMargin;
            if (best.text.isEmpty() || clearlyBetter) {
                best = std::move(reading);
                bestSize = size;
                bestInk = ink;
            }
        }
    }
    if (best.text.isEmpty() || best.misfit > AcceptedMisfit) {
        --cache.cellSearchesLeft;
        return CellReading{QString(), best.misfit, best.differing};
    }
    cache.lastCellSize = bestSize;
    cache.lastCellInk = bestInk;
    return best;
}
