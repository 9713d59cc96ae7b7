#include "support/zip_builder.h"

#include <fstream>
#include <iterator>
#include <zlib.h>

#include "repair/io/read_value.h"

namespace testzip {

namespace {

void Le(Bytes& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void Str(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

std::string Zip64Extra(std::uint64_t uncompressed, std::uint64_t compressed) {
    Bytes b;
    Le(b, 1, 2);
    Le(b, 16, 2);
    Le(b, uncompressed, 8);
    Le(b, compressed, 8);
    return std::string(b.begin(), b.end());
}

}  // namespace

std::uint32_t Crc32(const std::string& data) {
    return static_cast<std::uint32_t>(
        ::crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string DeflateRaw(const std::string& text) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, text.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::vector<Entry> MinimalPresentation() {
    const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    const std::string rels = "http://schemas.openxmlformats.org/package/2006/relationships";
    return {
        {"[Content_Types].xml",
         decl + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                "<Override PartName=\"/ppt/presentation.xml\" ContentType=\"application/"
                "vnd.openxmlformats-officedocument.presentationml.presentation.main+xml\"/></Types>"},
        {"_rels/.rels",
         decl + "<Relationships xmlns=\"" + rels + "\"><Relationship Id=\"rId1\" Type=\"http://schemas."
                "openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"ppt/presentation.xml\"/>"
                "</Relationships>"},
        {"ppt/presentation.xml",
         decl + "<p:presentation xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\">"
                "<p:sldSz cx=\"9144000\" cy=\"6858000\"/><p:notesSz cx=\"6858000\" cy=\"9144000\"/></p:presentation>"},
        {"ppt/_rels/presentation.xml.rels", decl + "<Relationships xmlns=\"" + rels + "\"/>"},
    };
}

Entry Deflated(const std::string& name, const std::string& text) {
    Entry e(name, DeflateRaw(text));
    e.method = 8;
    e.crcOverride = Crc32(text);
    e.uncompressedSize64 = text.size();
    return e;
}

std::uint64_t Builder::Add(const Entry& e) {
    std::uint64_t offset = m_bytes.size();
    std::uint32_t crc = e.crcOverride.value_or(Crc32(e.data));
    std::uint64_t size = e.data.size();
    std::uint64_t declared = e.uncompressedSize64.value_or(size);
    std::string extra = e.extra;
    if (e.zip64Form)
        extra = Zip64Extra(e.streaming ? 0 : declared, e.streaming ? 0 : size) + extra;

    Le(m_bytes, 0x04034B50, 4);
    Le(m_bytes, e.zip64Form ? 45 : 20, 2);
    Le(m_bytes, e.streaming ? 0x0008 : 0, 2);
    Le(m_bytes, e.method, 2);
    Le(m_bytes, 0x6000, 2);  // time
    Le(m_bytes, 0x5A21, 2);  // date
    Le(m_bytes, e.streaming ? 0 : crc, 4);
    std::uint32_t csize = e.zip64Form ? 0xFFFFFFFF : (e.streaming ? 0 : static_cast<std::uint32_t>(size));
    std::uint32_t usize = e.zip64Form ? 0xFFFFFFFF : (e.streaming ? 0 : static_cast<std::uint32_t>(declared));
    Le(m_bytes, e.compressedSizeOverride.value_or(csize), 4);
    Le(m_bytes, usize, 4);
    Le(m_bytes, e.name.size(), 2);
    Le(m_bytes, extra.size(), 2);
    Str(m_bytes, e.name);
    Str(m_bytes, extra);
    Str(m_bytes, e.data);
    if (e.streaming) {
        if (e.descriptorSigned)
            Le(m_bytes, 0x08074B50, 4);
        Le(m_bytes, crc, 4);
        Le(m_bytes, size, e.zip64Form ? 8 : 4);
        Le(m_bytes, declared, e.zip64Form ? 8 : 4);
    }
    m_records.push_back({e, offset});
    return offset;
}

void Builder::Finish() {
    std::uint64_t start = m_bytes.size();
    for (const auto& r : m_records) {
        const Entry& e = r.entry;
        Le(m_bytes, 0x02014B50, 4);
        Le(m_bytes, 20, 2);
        Le(m_bytes, 20, 2);
        Le(m_bytes, e.streaming ? 0x0008 : 0, 2);
        Le(m_bytes, e.method, 2);
        Le(m_bytes, 0x6000, 2);
        Le(m_bytes, 0x5A21, 2);
        Le(m_bytes, e.crcOverride.value_or(Crc32(e.data)), 4);
        Le(m_bytes, e.data.size(), 4);
        Le(m_bytes, e.method == 8 && !e.zip64Form ? e.uncompressedSize64.value_or(e.data.size()) : e.data.size(), 4);
        Le(m_bytes, e.name.size(), 2);
        Le(m_bytes, 0, 2);
        Le(m_bytes, 0, 2);
        Le(m_bytes, 0, 2);
        Le(m_bytes, 0, 2);
        Le(m_bytes, 0, 4);
        Le(m_bytes, r.offset, 4);
        Str(m_bytes, e.name);
    }
    std::uint64_t length = m_bytes.size() - start;
    Le(m_bytes, 0x06054B50, 4);
    Le(m_bytes, 0, 4);
    Le(m_bytes, m_records.size(), 2);
    Le(m_bytes, m_records.size(), 2);
    Le(m_bytes, length, 4);
    Le(m_bytes, start, 4);
    Le(m_bytes, 0, 2);
}

std::optional<Directory> ReadDirectory(const Bytes& package) {
    CByteView all(package.data(), package.size());
    if (package.size() < 22)
        return std::nullopt;
    std::size_t endAt = package.size() - 22;
    Directory dir;
    dir.endRecordLast = all.Le32(endAt) == 0x06054B50u && all.Le16(endAt + 20) == 0;
    if (!dir.endRecordLast)
        return std::nullopt;
    dir.countField = *all.Le16(endAt + 10);
    std::uint64_t count = dir.countField;
    std::uint64_t cdOffset = *all.Le32(endAt + 16);
    if (endAt >= 20 && all.Le32(endAt - 20) == 0x07064B50u) {
        auto at = all.Le64(endAt - 20 + 8);
        if (!at || all.Le32(*at) != 0x06064B50u)
            return std::nullopt;
        dir.zip64End = true;
        dir.zip64Count = *all.Le64(*at + 32);
        count = dir.zip64Count;
        cdOffset = *all.Le64(*at + 48);
    }
    std::size_t at = cdOffset;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (all.Le32(at) != 0x02014B50u)
            return std::nullopt;
        DirEntry e;
        e.flags = *all.Le16(at + 8);
        e.method = *all.Le16(at + 10);
        e.crc = *all.Le32(at + 16);
        e.compressedSize = *all.Le32(at + 20);
        e.uncompressedSize = *all.Le32(at + 24);
        std::uint16_t n = *all.Le16(at + 28);
        e.extraLength = *all.Le16(at + 30);
        e.offset = *all.Le32(at + 42);
        auto name = all.Sub(at + 46, n);
        auto extra = all.Sub(at + 46 + n, e.extraLength);
        if (!name || !extra)
            return std::nullopt;
        e.name.assign(name->data(), name->data() + n);
        e.extra.assign(extra->data(), extra->data() + extra->size());
        // ZIP64 values in the directory record, in their fixed order.
        for (std::size_t x = 0; x + 4 <= e.extra.size();) {
            CByteView ex(e.extra.data(), e.extra.size());
            std::uint16_t tag = *ex.Le16(x), sz = *ex.Le16(x + 2);
            if (tag == 1) {
                std::size_t v = x + 4;
                if (e.uncompressedSize == 0xFFFFFFFF) { e.uncompressedSize = *ex.Le64(v); v += 8; }
                if (e.compressedSize == 0xFFFFFFFF) { e.compressedSize = *ex.Le64(v); v += 8; }
                if (e.offset == 0xFFFFFFFF) { e.offset = *ex.Le64(v); }
            }
            x += 4 + sz;
        }
        // The local header it points to.
        if (all.Le32(e.offset) == 0x04034B50u) {
            std::uint16_t ln = *all.Le16(e.offset + 26), le = *all.Le16(e.offset + 28);
            auto lname = all.Sub(e.offset + 30, ln);
            std::uint64_t lcsize = *all.Le32(e.offset + 18), lusize = *all.Le32(e.offset + 22);
            if (auto lextra = all.Sub(e.offset + 30 + ln, le)) {
                for (std::size_t x = 0; x + 4 <= le;) {
                    std::uint16_t tag = *lextra->Le16(x), sz = *lextra->Le16(x + 2);
                    if (tag == 1 && sz >= 16) {
                        e.localHasZip64 = true;
                        lusize = *lextra->Le64(x + 4);
                        lcsize = *lextra->Le64(x + 12);
                    }
                    x += 4 + sz;
                }
            }
            e.localMatches = lname && std::string(lname->data(), lname->data() + ln) == e.name &&
                             all.Le32(e.offset + 14) == e.crc && lcsize == e.compressedSize &&
                             lusize == e.uncompressedSize && all.Le16(e.offset + 6) == e.flags;
            e.end = e.offset + 30 + ln + le + e.compressedSize + ((e.flags & 0x0008) ? 24 : 0);
            if (auto data = all.Sub(e.offset + 30 + ln + le, e.compressedSize))
                e.data.assign(data->data(), data->data() + data->size());
        }
        dir.entries.push_back(std::move(e));
        at += 46 + n + dir.entries.back().extraLength;
    }
    return dir;
}

Bytes Filled(std::string head, std::size_t size, char fill) {
    head.resize(size, fill);
    return Bytes(head.begin(), head.end());
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace testzip
