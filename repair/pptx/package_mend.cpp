#include "repair/pptx/package_mend.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <unordered_set>

#include <zlib.h>

#include "platform/file_handle.h"
#include "platform/file_ops.h"
#include "repair/io/read_value.h"
#include "repair/io/job_control.h"
#include "repair/pptx/end_records.h"
#include "repair/pptx/local_header.h"
#include "repair/pptx/package_scaffold.h"
#include "repair/pptx/zip_format.h"

namespace {

constexpr std::size_t kChunk = 1u << 18;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kVersionDeflate = 20;
constexpr std::uint16_t kDosDate1980 = 0x0021;  // 1 January 1980: no time is known for a new part
constexpr std::uint64_t k32 = zip::kZip64Marker;
// The largest directory read back: the rebuild held it in memory as it wrote it.
// A package with a larger one is handed over as the container rebuild wrote it.
constexpr std::uint64_t kMaxMendedDirectory = 256u << 20;

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool IsXmlName(const std::string& name) {
    std::string lower = Lower(name);
    auto endsWith = [&](const char* tail) {
        std::string t = tail;
        return lower.size() >= t.size() && lower.compare(lower.size() - t.size(), t.size(), t) == 0;
    };
    return endsWith(".xml") || endsWith(".rels");
}

// One entry of the rebuilt package, as its directory gives it.
struct Entry {
    std::string name;
    std::uint16_t method = 0, flags = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0, uncompressedSize = 0;
    std::uint64_t headerOffset = 0, dataStart = 0;
    std::vector<std::uint8_t> record;   // its directory record with name and extra field
};

// Where the rebuilt package's directory lies, from its end records.
struct DirectorySpan {
    std::uint64_t offset = 0, length = 0;
};

// The end record last, and before it the ZIP64 locator and end record where the
// end record defers to them; the directory must end where they start.
std::optional<DirectorySpan> ReadEndRecords(CFileHandle& file, std::uint64_t size) {
    std::uint8_t end[zip::kEndSize];
    if (size < zip::kEndSize ||
        file.ReadAt(end, sizeof end, size - sizeof end) != static_cast<std::int64_t>(sizeof end))
        return std::nullopt;
    CByteView endView(end, sizeof end);
    if (*endView.Le32(0) != zip::kEndMagic)
        return std::nullopt;
    DirectorySpan span{*endView.Le32(zip::end::kDirectoryOffset), *endView.Le32(zip::end::kDirectorySize)};
    std::uint64_t directoryEnd = size - sizeof end;
    std::uint8_t locator[zip::kZip64LocatorSize];
    const bool hasLocator =
        directoryEnd >= sizeof locator &&
        file.ReadAt(locator, sizeof locator, directoryEnd - sizeof locator) == static_cast<std::int64_t>(sizeof locator) &&
        *CByteView(locator, sizeof locator).Le32(0) == zip::kZip64LocatorMagic;
    if (hasLocator) {
        const std::uint64_t end64At = *CByteView(locator, sizeof locator).Le64(zip::locator::kEndOffset);
        std::uint8_t end64[zip::kZip64EndSize];
        if (end64At != directoryEnd - sizeof locator - sizeof end64 ||
            file.ReadAt(end64, sizeof end64, end64At) != static_cast<std::int64_t>(sizeof end64))
            return std::nullopt;
        CByteView view(end64, sizeof end64);
        if (*view.Le32(0) != zip::kZip64EndMagic)
            return std::nullopt;
        span = {*view.Le64(zip::end64::kDirectoryOffset), *view.Le64(zip::end64::kDirectorySize)};
        directoryEnd = end64At;
    }
    if (span.offset > directoryEnd || span.length != directoryEnd - span.offset)
        return std::nullopt;
    return span;
}

// The sizes and offset of a directory record, its 32-bit fields of value
// 0xFFFFFFFF taken from its ZIP64 extra field, in the order they appear there.
bool ReadRecordValues(CByteView fixed, CByteView extra, Entry& e) {
    namespace c = zip::central;
    std::uint64_t* values[] = {&e.uncompressedSize, &e.compressedSize, &e.headerOffset};
    const std::size_t fields[] = {c::kUncompressedSize, c::kCompressedSize, c::kLocalHeaderOffset};
    std::optional<CByteView> zip64;
    if (auto field = FindExtraField(extra, zip::kZip64ExtraTag, 0))
        zip64 = extra.Sub(*field + zip::kExtraHeaderSize, *extra.Le16(*field + 2));
    std::size_t next = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        *values[i] = *fixed.Le32(fields[i]);
        if (*values[i] != k32)
            continue;
        auto wide = zip64 ? zip64->Le64(next) : std::nullopt;
        if (!wide)
            return false;
        *values[i] = *wide;
        next += 8;
    }
    return true;
}

// Reads the directory the container rebuild wrote; nothing when it does not
// read back or is too large to hold.
std::optional<std::vector<Entry>> ReadRebuiltDirectory(CFileHandle& file) {
    std::uint64_t size = 0;
    if (!file.Size(size))
        return std::nullopt;
    auto span = ReadEndRecords(file, size);
    if (!span || span->length > kMaxMendedDirectory)
        return std::nullopt;
    const std::uint64_t dirOffset = span->offset;
    std::vector<std::uint8_t> dir(static_cast<std::size_t>(span->length));
    if (file.ReadAt(dir.data(), dir.size(), dirOffset) != static_cast<std::int64_t>(dir.size()))
        return std::nullopt;

    std::vector<Entry> entries;
    CByteView view(dir.data(), dir.size());
    namespace c = zip::central;
    for (std::size_t at = 0; at < dir.size();) {
        auto fixed = view.Sub(at, c::kSize);
        if (!fixed || *fixed->Le32(0) != zip::kCentralHeaderMagic)
            return std::nullopt;
        const std::uint16_t nameLength = *fixed->Le16(c::kNameLength), extraLength = *fixed->Le16(c::kExtraLength);
        const std::size_t length = c::kSize + nameLength + extraLength + *fixed->Le16(c::kCommentLength);
        auto whole = view.Sub(at, length);
        if (!whole)
            return std::nullopt;
        Entry e;
        e.name.assign(reinterpret_cast<const char*>(whole->data()) + c::kSize, nameLength);
        e.method = *fixed->Le16(c::kMethod);
        e.flags = *fixed->Le16(c::kFlags);
        e.crc = *fixed->Le32(c::kCrc);
        if (!ReadRecordValues(*fixed, *whole->Sub(c::kSize + nameLength, extraLength), e))
            return std::nullopt;
        e.record.assign(whole->data(), whole->data() + whole->size());
        std::uint8_t local[zip::local::kSize];
        if (e.headerOffset > dirOffset ||
            file.ReadAt(local, sizeof local, e.headerOffset) != static_cast<std::int64_t>(sizeof local))
            return std::nullopt;
        CByteView lv(local, sizeof local);
        e.dataStart = e.headerOffset + zip::local::kSize + *lv.Le16(zip::local::kNameLength) +
                      *lv.Le16(zip::local::kExtraLength);
        if (e.dataStart > dirOffset || e.compressedSize > dirOffset - e.dataStart)
            return std::nullopt;
        entries.push_back(std::move(e));
        at += length;
    }
    return entries;
}

// What inflating (or reading) an entry's data gave.
struct Checked {
    bool sound = false;        // complete, sizes and CRC as recorded
    bool ended = false;        // the compressed stream reached its end
    bool capped = false;       // the text kept was cut at kMaxMendedPart
    std::uint64_t produced = 0;
    std::string text;          // the uncompressed bytes, when asked for
};

// Streams `count` bytes from `position` through inflate (or as they are for a
// stored entry), computing the CRC; stops at the first damage.
Checked CheckData(CFileHandle& file, std::uint64_t position, std::uint64_t count, std::uint16_t method,
                  std::uint32_t crc, std::uint64_t uncompressedSize, bool keepText) {
    Checked out;
    std::vector<std::uint8_t> in(kChunk), inflated(method == kDeflated ? kChunk : 0);
    z_stream z{};
    if (method == kDeflated && inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return out;
    uLong running = crc32(0, nullptr, 0);
    auto take = [&](const std::uint8_t* data, std::size_t n) {
        running = crc32_z(running, data, n);
        out.produced += n;
        if (keepText && !out.capped) {
            if (out.text.size() + n > kMaxMendedPart)
                out.capped = true;
            else
                out.text.append(reinterpret_cast<const char*>(data), n);
        }
    };
    bool failed = false;
    for (std::uint64_t done = 0; done < count && !failed && !out.ended;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, count - done));
        const std::int64_t got = file.ReadAt(in.data(), want, position + done);
        if (got <= 0)
            break;
        done += static_cast<std::uint64_t>(got);
        if (method != kDeflated) {
            take(in.data(), static_cast<std::size_t>(got));
            continue;
        }
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(got);
        while (z.avail_in > 0 && !out.ended) {
            z.next_out = inflated.data();
            z.avail_out = static_cast<uInt>(inflated.size());
            int rc = inflate(&z, Z_NO_FLUSH);
            take(inflated.data(), inflated.size() - z.avail_out);
            if (rc == Z_STREAM_END)
                out.ended = true;
            else if (rc != Z_OK) {
                failed = true;
                break;
            }
        }
    }
    if (method == kDeflated)
        inflateEnd(&z);
    else
        out.ended = out.produced == count;
    out.sound = !failed && out.ended && running == crc && out.produced == uncompressedSize;
    return out;
}

// Raw deflate of a new part.
std::optional<std::string> Deflate(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END)
        return std::nullopt;
    return out;
}

// A directory record moved to the local header at `offset`: its ZIP64 field
// holds the sizes the record defers to it, as before, and the offset when that
// needs 64 bits. A record that needs no such field keeps its extra field as it
// was. Nothing when the extra field would grow past its 16-bit length.
std::optional<std::vector<std::uint8_t>> RecordAt(const std::vector<std::uint8_t>& record,
                                                  std::uint64_t uncompressedSize, std::uint64_t compressedSize,
                                                  std::uint64_t offset) {
    namespace c = zip::central;
    const CByteView old(record.data(), record.size());
    const std::size_t nameEnd = c::kSize + *old.Le16(c::kNameLength);
    const CByteView extra = *old.Sub(nameEnd, *old.Le16(c::kExtraLength));
    const auto field = FindExtraField(extra, zip::kZip64ExtraTag, 0);
    const bool offset64 = offset >= k32;
    std::vector<std::uint8_t> out = record;
    PutLe32(&out[c::kLocalHeaderOffset], offset64 ? zip::kZip64Marker : static_cast<std::uint32_t>(offset));
    if (!field && !offset64)
        return out;

    std::vector<std::uint64_t> values;
    if (*old.Le32(c::kUncompressedSize) == k32)
        values.push_back(uncompressedSize);
    if (*old.Le32(c::kCompressedSize) == k32)
        values.push_back(compressedSize);
    if (offset64)
        values.push_back(offset);
    std::vector<std::uint8_t> newExtra(extra.data(), extra.data() + extra.size());
    if (field) {
        const auto from = newExtra.begin() + static_cast<std::ptrdiff_t>(*field);
        newExtra.erase(from, from + static_cast<std::ptrdiff_t>(zip::kExtraHeaderSize + *extra.Le16(*field + 2)));
    }
    if (!values.empty()) {
        const std::size_t at = newExtra.size();
        newExtra.resize(at + zip::kExtraHeaderSize + 8 * values.size());
        PutLe16(&newExtra[at], zip::kZip64ExtraTag);
        PutLe16(&newExtra[at + 2], static_cast<std::uint16_t>(8 * values.size()));
        for (std::size_t i = 0; i < values.size(); ++i)
            PutLe64(&newExtra[at + zip::kExtraHeaderSize + 8 * i], values[i]);
    }
    if (newExtra.size() > 0xFFFF)
        return std::nullopt;
    PutLe16(&out[c::kExtraLength], static_cast<std::uint16_t>(newExtra.size()));
    if (offset64 && *old.Le16(c::kVersionNeeded) < zip::kVersionZip64)
        PutLe16(&out[c::kVersionNeeded], zip::kVersionZip64);
    const auto extraStart = out.begin() + static_cast<std::ptrdiff_t>(nameEnd);
    out.erase(extraStart, extraStart + static_cast<std::ptrdiff_t>(extra.size()));
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(nameEnd), newExtra.begin(), newExtra.end());
    return out;
}

// Writes the mended package: kept entries copied from the rebuilt one, new and
// mended parts deflated, then the directory and its end records, with ZIP64
// fields and records where the package needs them.
class CWriter {
public:
    bool Create(const std::string& path) { return m_file.Open(path, FileAccess::CreateNew); }

    bool CopyEntry(CFileHandle& from, const Entry& e, bool clearFlags) {
        auto record = RecordAt(e.record, e.uncompressedSize, e.compressedSize, m_offset);
        if (!record)
            return false;
        const std::uint16_t flags = clearFlags ? e.flags & ~zip::kFlagsRefused : e.flags;
        PutLe16(&(*record)[zip::central::kFlags], flags);
        const std::uint64_t length = e.dataStart + e.compressedSize - e.headerOffset;
        std::vector<std::uint8_t> buffer(kChunk);
        for (std::uint64_t done = 0; done < length;) {
            std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length - done));
            if (from.ReadAt(buffer.data(), want, e.headerOffset + done) != static_cast<std::int64_t>(want))
                return false;
            if (done == 0 && want >= zip::local::kSize)
                PutLe16(&buffer[zip::local::kFlags], flags);
            if (!m_file.Write(buffer.data(), want))
                return false;
            done += want;
        }
        Advance(length, *record);
        return true;
    }

    bool AddPart(const std::string& name, const std::string& content) {
        auto deflated = Deflate(content);
        if (!deflated || name.size() > 0xFFFF)
            return false;
        const std::uint32_t crc = crc32_z(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(content.data()),
                                          content.size());
        std::vector<std::uint8_t> local(zip::local::kSize);
        namespace l = zip::local;
        PutLe32(&local[0], 0x04034B50);
        PutLe16(&local[l::kVersionNeeded], kVersionDeflate);
        PutLe16(&local[l::kMethod], kDeflated);
        PutLe16(&local[l::kDate], kDosDate1980);
        PutLe32(&local[l::kCrc], crc);
        PutLe32(&local[l::kCompressedSize], static_cast<std::uint32_t>(deflated->size()));
        PutLe32(&local[l::kUncompressedSize], static_cast<std::uint32_t>(content.size()));
        PutLe16(&local[l::kNameLength], static_cast<std::uint16_t>(name.size()));
        local.insert(local.end(), name.begin(), name.end());

        std::vector<std::uint8_t> record(zip::central::kSize);
        namespace c = zip::central;
        PutLe32(&record[0], zip::kCentralHeaderMagic);
        PutLe16(&record[c::kVersionMadeBy], kVersionDeflate);
        PutLe16(&record[c::kVersionNeeded], kVersionDeflate);
        PutLe16(&record[c::kMethod], kDeflated);
        PutLe16(&record[c::kDate], kDosDate1980);
        PutLe32(&record[c::kCrc], crc);
        PutLe32(&record[c::kCompressedSize], static_cast<std::uint32_t>(deflated->size()));
        PutLe32(&record[c::kUncompressedSize], static_cast<std::uint32_t>(content.size()));
        PutLe16(&record[c::kNameLength], static_cast<std::uint16_t>(name.size()));
        PutLe32(&record[c::kExternalAttributes], c::kArchiveAttribute);
        record.insert(record.end(), name.begin(), name.end());
        auto placed = RecordAt(record, content.size(), deflated->size(), m_offset);
        if (!placed || !m_file.Write(local.data(), local.size()) || !m_file.Write(deflated->data(), deflated->size()))
            return false;
        Advance(local.size() + deflated->size(), *placed);
        return true;
    }

    bool Finish() {
        std::vector<std::uint8_t> end;
        AppendEndRecords(end, m_count, m_offset, m_directory.size(), m_highestVersion);
        bool ok = m_file.Write(m_directory.data(), m_directory.size()) && m_file.Write(end.data(), end.size());
        m_file.Close();
        return ok;
    }

private:
    void Advance(std::uint64_t length, const std::vector<std::uint8_t>& record) {
        m_offset += length;
        m_directory.insert(m_directory.end(), record.begin(), record.end());
        ++m_count;
        m_highestVersion = std::max(m_highestVersion, *CByteView(record.data(), record.size()).Le16(zip::central::kVersionNeeded));
    }

    CFileHandle m_file;
    std::uint64_t m_offset = 0;
    std::uint64_t m_count = 0;
    std::uint16_t m_highestVersion = kVersionDeflate;
    std::vector<std::uint8_t> m_directory;
};

std::vector<ReportItem> Items(const std::vector<PackagePart>& parts) {
    std::vector<ReportItem> items;
    for (const auto& p : parts)
        items.push_back({p.name, p.state, p.how});
    return items;
}

// Checks every entry; a broken XML part is closed where it was cut, any other
// broken part left out.
std::vector<PackagePart> CheckEntries(CFileHandle& rebuilt, const std::vector<Entry>& entries,
                                      const std::vector<bool>& checkedSound, const CancelToken& cancel,
                                      bool& cancelled) {
    std::vector<PackagePart> parts;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (cancel.Cancelled()) {
            cancelled = true;
            return parts;
        }
        const Entry& e = entries[i];
        PackagePart part;
        part.name = e.name;
        part.entry = static_cast<int>(i);
        // Found sound while the rebuild copied it: not read again. Encryption or
        // patch flags on data that checks sound are damaged bits.
        if (checkedSound.size() == entries.size() && checkedSound[i]) {
            if (e.flags & zip::kFlagsRefused) {
                part.state = ItemState::Mended;
                part.how = "damaged flags cleared";
                part.clearFlags = true;
            }
            parts.push_back(std::move(part));
            continue;
        }
        if ((e.flags & zip::kFlagEncrypted) || (e.method != kStored && e.method != kDeflated)) {
            part.how = "kept unchecked: encrypted or of an unknown method";
            parts.push_back(std::move(part));
            continue;
        }
        const bool xml = IsXmlName(e.name);
        Checked c = CheckData(rebuilt, e.dataStart, e.compressedSize, e.method, e.crc, e.uncompressedSize, xml);
        if (c.sound) {
            parts.push_back(std::move(part));
            continue;
        }
        std::optional<std::string> closed = xml && !c.capped ? CloseTruncatedXml(c.text) : std::nullopt;
        if (closed) {
            part.state = ItemState::Mended;
            part.how = c.ended ? "CRC mismatch: XML re-read and written anew" : "damaged data: XML closed where it breaks off";
            part.hasContent = true;
            part.content = std::move(*closed);
        } else {
            part.state = ItemState::LeftOut;
            part.how = c.capped ? "damaged and too large to mend" : "damaged data that cannot be made whole";
        }
        parts.push_back(std::move(part));
    }
    return parts;
}

// The entries cut off by the end of the file: inflated as far as they go.
void SalvageCutEntries(const std::string& sourcePath, const std::vector<CutEntry>& cut,
                       std::vector<PackagePart>& parts) {
    CFileHandle source;
    if (cut.empty() || !source.Open(sourcePath, FileAccess::ReadOnly))
        return;
    std::uint64_t size = 0;
    if (!source.Size(size))
        return;
    std::unordered_set<std::string> names;
    for (const auto& p : parts)
        names.insert(Lower(p.name));
    for (const CutEntry& c : cut) {
        if (!names.insert(Lower(c.name)).second || c.dataStart >= size)
            continue;
        PackagePart part;
        part.name = c.name;
        part.state = ItemState::LeftOut;
        part.how = "cut off by the end of the file";
        if (IsXmlName(c.name) && !(c.flags & zip::kFlagEncrypted) && (c.method == kDeflated || c.method == kStored)) {
            Checked k = CheckData(source, c.dataStart, size - c.dataStart, c.method, 0, 0, true);
            if (auto closed = k.capped ? std::nullopt : CloseTruncatedXml(k.text)) {
                part.state = ItemState::Mended;
                part.how = "cut off: XML closed where it breaks off";
                part.hasContent = true;
                part.content = std::move(*closed);
            }
        }
        parts.push_back(std::move(part));
    }
}

bool NothingChanged(const std::vector<PackagePart>& parts) {
    for (const auto& p : parts)
        if (p.state != ItemState::Kept || p.hasContent)
            return false;
    return true;
}

bool WriteMended(CFileHandle& rebuilt, const std::vector<Entry>& entries, const std::vector<PackagePart>& parts,
                 const std::string& outputPath) {
    CWriter writer;
    if (!writer.Create(outputPath))
        return false;
    bool ok = true;
    // The content types first, where readers look for them.
    auto write = [&](const PackagePart& p) {
        if (p.hasContent)
            ok = ok && writer.AddPart(p.name, p.content);
        else if (p.entry >= 0)
            ok = ok && writer.CopyEntry(rebuilt, entries[static_cast<std::size_t>(p.entry)], p.clearFlags);
    };
    for (int pass = 0; pass < 2; ++pass)
        for (const auto& p : parts)
            if (p.state != ItemState::LeftOut && (p.name == "[Content_Types].xml") == (pass == 0))
                write(p);
    ok = writer.Finish() && ok;
    if (!ok)
        DeleteFileW(outputPath);
    return ok;
}

}  // namespace

PackageRepairResult MendPackage(const std::string& sourcePath, const PackageScanState& scan,
                                const std::string& rebuiltPath, const std::string& outputPath,
                                const CancelToken& cancel) {
    PackageRepairResult result;
    CFileHandle rebuilt;
    auto entries = rebuilt.Open(rebuiltPath, FileAccess::ReadOnly) ? ReadRebuiltDirectory(rebuilt) : std::nullopt;
    if (!entries) {
        // Too large to rewrite, or unreadable: the container rebuild stands as it is.
        rebuilt.Close();
        result.repaired = MoveFileReplace(rebuiltPath, outputPath);
        result.failure = result.repaired ? PackageFailure::None : PackageFailure::WriteFailed;
        return result;
    }
    bool cancelled = false;
    std::vector<PackagePart> parts = CheckEntries(rebuilt, *entries, scan.entrySound, cancel, cancelled);
    if (cancelled) {
        result.failure = PackageFailure::Cancelled;
        DeleteFileW(rebuiltPath);
        return result;
    }
    SalvageCutEntries(sourcePath, scan.cutEntries, parts);
    for (const std::string& named : scan.namedByDirectory)
        for (auto& p : parts)
            if (p.name == named && p.state == ItemState::Kept) {
                p.state = ItemState::Mended;
                p.how = "damaged local header: name taken from the central directory";
            }
    PartLoader load = [&](const PackagePart& part) -> std::optional<std::string> {
        if (part.entry < 0)
            return std::nullopt;
        const Entry& e = (*entries)[static_cast<std::size_t>(part.entry)];
        if (e.uncompressedSize > kMaxMendedPart || (e.method != kStored && e.method != kDeflated))
            return std::nullopt;
        Checked c = CheckData(rebuilt, e.dataStart, e.compressedSize, e.method, e.crc, e.uncompressedSize, true);
        return c.sound ? std::optional<std::string>(std::move(c.text)) : std::nullopt;
    };
    if (RebuildScaffolding(parts, load) == ScaffoldOutcome::NotAPresentation) {
        result.failure = PackageFailure::NotAPresentation;
        result.items = Items(parts);
        DeleteFileW(rebuiltPath);
        return result;
    }
    result.items = Items(parts);
    bool uncheckedKept = false;
    for (const auto& p : parts)
        uncheckedKept = uncheckedKept || (p.state == ItemState::Kept && !p.how.empty());
    if (NothingChanged(parts)) {
        rebuilt.Close();
        result.repaired = MoveFileReplace(rebuiltPath, outputPath);
        result.everythingKept = result.repaired && !uncheckedKept;
    } else {
        result.repaired = WriteMended(rebuilt, *entries, parts, outputPath);
        rebuilt.Close();
        DeleteFileW(rebuiltPath);
    }
    if (!result.repaired)
        result.failure = PackageFailure::WriteFailed;
    return result;
}

PackageRepairResult RepairPackageFile(const PackageJob& job, const std::string& sourcePath,
                                      const std::string& outputPath) {
    const std::string rebuiltPath = outputPath + ".rebuilt";
    DeleteFileW(rebuiltPath);
    PackageRepairResult result;
    if (!RebuildPackageFile(job, sourcePath, rebuiltPath)) {
        DeleteFileW(rebuiltPath);
        result.failure = job.cancel.Cancelled() ? PackageFailure::Cancelled : PackageFailure::Unreadable;
        return result;
    }
    return MendPackage(sourcePath, job.scan, rebuiltPath, outputPath, job.cancel);
}
