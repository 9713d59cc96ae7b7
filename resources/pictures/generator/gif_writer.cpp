#include "gif_writer.h"

#include <QFile>
#include <algorithm>
#include <map>
#include <unordered_map>

namespace {

constexpr int kPaletteSize = 256;
constexpr int kMinCodeSize = 8;
constexpr int kMaxCode = 4095;

using Bytes = std::vector<unsigned char>;

void PutWord(Bytes& out, int value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

// Colours reduced to 5 bits a channel, counted over all frames; the most used
// ones make the palette.
std::vector<QRgb> BuildPalette(const std::vector<QImage>& frames) {
    std::unordered_map<QRgb, long> counts;
    for (const QImage& frame : frames)
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x) {
                const QRgb c = frame.pixel(x, y);
                ++counts[qRgb(qRed(c) & 0xF8, qGreen(c) & 0xF8, qBlue(c) & 0xF8)];
            }
    std::vector<std::pair<long, QRgb>> ranked;
    for (const auto& [colour, count] : counts) ranked.emplace_back(count, colour);
    std::sort(ranked.begin(), ranked.end(), [](auto& a, auto& b) { return a.first > b.first; });
    std::vector<QRgb> palette;
    for (const auto& entry : ranked) {
        if (static_cast<int>(palette.size()) == kPaletteSize) break;
        const QRgb c = entry.second;
        palette.push_back(qRgb(qRed(c) | (qRed(c) >> 5), qGreen(c) | (qGreen(c) >> 5),
                               qBlue(c) | (qBlue(c) >> 5)));
    }
    palette.resize(kPaletteSize, qRgb(0, 0, 0));
    return palette;
}

int Nearest(const std::vector<QRgb>& palette, QRgb colour, std::map<QRgb, int>& cache) {
    const auto hit = cache.find(colour);
    if (hit != cache.end()) return hit->second;
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < kPaletteSize; ++i) {
        const long dr = qRed(palette[i]) - qRed(colour);
        const long dg = qGreen(palette[i]) - qGreen(colour);
        const long db = qBlue(palette[i]) - qBlue(colour);
        const long distance = dr * dr * 3 + dg * dg * 4 + db * db * 2;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    cache[colour] = best;
    return best;
}

// Packs variable-width codes least significant bit first into sub-blocks.
class CodeWriter {
public:
    explicit CodeWriter(Bytes& out) : m_out(out) {}
    void Put(int code, int width) {
        m_bits |= static_cast<unsigned long>(code) << m_count;
        m_count += width;
        while (m_count >= 8) {
            Byte(static_cast<unsigned char>(m_bits & 0xFF));
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    void Finish() {
        if (m_count > 0) Byte(static_cast<unsigned char>(m_bits & 0xFF));
        Flush();
        m_out.push_back(0);
    }

private:
    void Byte(unsigned char b) {
        m_block.push_back(b);
        if (m_block.size() == 255) Flush();
    }
    void Flush() {
        if (m_block.empty()) return;
        m_out.push_back(static_cast<unsigned char>(m_block.size()));
        m_out.insert(m_out.end(), m_block.begin(), m_block.end());
        m_block.clear();
    }
    Bytes& m_out;
    Bytes m_block;
    unsigned long m_bits = 0;
    int m_count = 0;
};

void CompressIndices(const Bytes& indices, Bytes& out) {
    out.push_back(kMinCodeSize);
    CodeWriter writer(out);
    const int clear = 1 << kMinCodeSize;
    const int end = clear + 1;
    std::unordered_map<int, int> table;  // (prefix << 8 | byte) -> code
    int next = end + 1;
    int width = kMinCodeSize + 1;
    writer.Put(clear, width);
    int prefix = indices.empty() ? -1 : indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
        const int key = (prefix << 8) | indices[i];
        const auto found = table.find(key);
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        writer.Put(prefix, width);
        if (next <= kMaxCode) {
            table[key] = next++;
            if (next > (1 << width) && width < 12) ++width;
        } else {
            writer.Put(clear, width);
            table.clear();
            next = end + 1;
            width = kMinCodeSize + 1;
        }
        prefix = indices[i];
    }
    if (prefix >= 0) writer.Put(prefix, width);
    writer.Put(end, width);
    writer.Finish();
}

}  // namespace

bool WriteLoopingGif(const QString& path, const std::vector<QImage>& frames, int delayMs) {
    if (frames.empty()) return false;
    const int width = frames[0].width();
    const int height = frames[0].height();
    const std::vector<QRgb> palette = BuildPalette(frames);

    Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    PutWord(out, width);
    PutWord(out, height);
    out.push_back(0xF7);  // global colour table of 256 entries
    out.push_back(0);
    out.push_back(0);
    for (QRgb c : palette) {
        out.push_back(static_cast<unsigned char>(qRed(c)));
        out.push_back(static_cast<unsigned char>(qGreen(c)));
        out.push_back(static_cast<unsigned char>(qBlue(c)));
    }
    // Loop forever.
    const unsigned char loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E',
                                  '2',  '.',  '0',  0x03, 0x01, 0x00, 0x00, 0x00};
    out.insert(out.end(), std::begin(loop), std::end(loop));

    std::map<QRgb, int> cache;
    for (const QImage& frame : frames) {
        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x04});
        PutWord(out, delayMs / 10);
        out.insert(out.end(), {0x00, 0x00});
        out.push_back(0x2C);
        PutWord(out, 0);
        PutWord(out, 0);
        PutWord(out, width);
        PutWord(out, height);
        out.push_back(0);
        Bytes indices;
        indices.reserve(static_cast<std::size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                indices.push_back(static_cast<unsigned char>(Nearest(palette, frame.pixel(x, y) | 0xFF000000u, cache)));
        CompressIndices(indices, out);
    }
    out.push_back(0x3B);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    return file.write(reinterpret_cast<const char*>(out.data()), static_cast<qint64>(out.size())) ==
           static_cast<qint64>(out.size());
}
