#include "repair/pptx/package_rebuild.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <unistd.h>

#include "platform/file_handle.h"
#include "platform/file_ops.h"
#include "repair/io/job_control.h"
#include "repair/io/working_files.h"
#include "repair/pptx/central_directory.h"
#include "repair/pptx/end_records.h"
#include "repair/pptx/entry_check.h"
#include "repair/pptx/local_header.h"
#include "repair/pptx/package_source.h"
#include "repair/pptx/zip_format.h"


namespace {

constexpr std::uint64_t kMinimumResult = 512;
constexpr std::size_t kOutputBuffer = 1u << 20;
constexpr std::uint64_t k32 = zip::kZip64Marker;

// The output file: small pieces gather in a buffer, entry data the kernel copies.
class COutput {
public:
    bool Create(const std::string& path) {
        m_buffer.reserve(kOutputBuffer);
        if (!m_file.Open(path, FileAccess::CreateNew))
            return false;
        // The result is flushed to the disk before it is handed over.
        m_file.WriteBackAsWritten();
        return true;
    }
    bool Append(const std::uint8_t* data, std::size_t count) {
        if (m_buffer.size() + count > kOutputBuffer && !Flush())
            return false;
        if (count >= kOutputBuffer)
            return m_file.Write(data, count);
        m_buffer.insert(m_buffer.end(), data, data + count);
        return true;
    }
    bool Flush() {
        bool ok = m_buffer.empty() || m_file.Write(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
        return ok;
    }
    // Copies `count` bytes of `in` from `position` through `check`, in one pass;
    // `piece` sees the bytes copied so far and may stop the copy.
    bool CopyChecked(int in, std::uint64_t position, std::uint64_t count, CEntryCheck& check,
                     const std::function<bool(std::uint64_t)>& piece) {
        if (!Flush())
            return false;
        m_copy.resize(kOutputBuffer);
        for (std::uint64_t done = 0; done < count;) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kOutputBuffer, count - done));
            const ssize_t got = ::pread(in, m_copy.data(), want, static_cast<off_t>(position + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            const std::size_t n = static_cast<std::size_t>(got);
            check.Feed(m_copy.data(), n);
            if (!m_file.Write(m_copy.data(), n))
                return false;
            done += n;
            if (!piece(done))
                return false;
        }
        return true;
    }
    // False when the last bytes could not be written (a full disk): the package
    // then lacks its end and is no result.
    bool Close() {
        const bool flushed = Flush();
        m_file.Close();
        return flushed;
    }

private:
    CFileHandle m_file;
    std::vector<std::uint8_t> m_buffer;
    std::vector<std::uint8_t> m_copy;
};

struct Descriptor {
    std::uint32_t crc;
    std::uint64_t compressedSize;
    std::uint64_t uncompressedSize;
};

// An entry's name as a part name, which compares without regard to case. A
// second entry of the same name is not taken: it comes from a package embedded in
// an entry whose data the scan walked through (a truncated one, say), and two
// parts of one name make the package unreadable.
std::string PartName(const LocalHeader& h) {
    std::string name(h.bytes.begin() + zip::local::kSize, h.bytes.begin() + zip::local::kSize + h.nameLength);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

class CRebuild {
public:
    CRebuild(CPackageSource& source, COutput& output, const PackageJob& job)
        : m_source(source), m_output(output), m_state(job.scan), m_cancel(job.cancel), m_report(job.report),
          m_directory(ReadSurvivingDirectory(source)) {}

    // Walks the source and copies its entries; false when cancelled or on a write error.
    bool CopyEntries();
    bool WriteDirectoryAndEnd();
    void Progress(bool force = false);

private:
    std::optional<Descriptor> ResolveDescriptor(const LocalHeader& h, std::uint64_t dataStart);
    std::optional<Descriptor> FindDescriptor(std::uint64_t dataStart, bool zip64Form, bool stored);
    std::optional<Descriptor> MeasureDeflateStream(std::uint64_t dataStart);
    std::optional<std::uint32_t> CrcOfSource(std::uint64_t position, std::uint64_t count);
    bool FeedSource(CEntryCheck& check, std::uint64_t position, std::uint64_t count);
    // Copies the entry at `position`; the position after its data, or nothing when rejected.
    std::optional<std::uint64_t> TakeEntry(std::uint64_t position, bool& failed);
    void AppendDirectoryRecord(const std::vector<std::uint8_t>& header, const LocalHeader& in,
                               bool entryZip64);
    void NoteCutEntry(const LocalHeader& h, std::uint64_t position);
    std::optional<LocalHeader> NamedByDirectory(const LocalHeader& h, std::uint64_t position);

    CPackageSource& m_source;
    COutput& m_output;
    PackageScanState& m_state;
    const CancelToken& m_cancel;
    const JobReporter& m_report;
    std::uint64_t m_lastPercent = UINT64_MAX;
    // Names taken so far: a package holds each part once.
    std::unordered_set<std::string> m_names;
    // The old directory's records by local header offset, where it survives.
    std::unordered_map<std::uint64_t, DirectoryRecord> m_directory;
};

void CRebuild::Progress(bool force) {
    // The page shows a percentage: report only when it moves.
    std::uint64_t total = m_state.sourceSize;
    std::uint64_t percent = total ? m_state.bytesWritten / (total / 100 + 1) : 0;
    if (!force && percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    m_report.Progress(m_state.bytesWritten, total);
}

// The sizes and CRC of an entry whose header defers them to a descriptor: from
// a signed descriptor where one is found, else from the entry's deflate stream,
// whose own end tells where the data ends. Nothing when neither gives the end:
// the entry is cut off, or damaged past what either can measure.
std::optional<Descriptor> CRebuild::ResolveDescriptor(const LocalHeader& h, std::uint64_t dataStart) {
    if (auto d = FindDescriptor(dataStart, h.zip64Field.has_value(), h.method == zip::kMethodStored))
        return d;
    if (h.method == zip::kMethodDeflated && !(h.flags & zip::kFlagEncrypted))
        return MeasureDeflateStream(dataStart);
    return std::nullopt;
}

// A descriptor counts only where its compressed size equals the bytes from the
// entry's data start to it: "PK\7\8" inside compressed data is no descriptor.
// For stored data the two sizes must be equal and the CRC that of the bytes
// before it; where only the sizes agree, the first such descriptor is taken
// (the data is damaged, but its extent known). The search stops at the next
// acceptable local header.
std::optional<Descriptor> CRebuild::FindDescriptor(std::uint64_t dataStart, bool zip64Form, bool stored) {
    namespace d = zip::descriptor;
    const std::size_t formSize = zip64Form ? d::kZip64Size : d::kSize;
    std::optional<Descriptor> sizesOnly;
    for (std::uint64_t at = dataStart; !m_cancel.Cancelled(); ++at) {
        at = m_source.NextCandidate(at);
        auto sig = m_source.Bytes(at, 4);
        if (!sig)
            return sizesOnly;
        if (sig->Matches(0, zip::kDescriptorSig, 4)) {
            if (auto record = m_source.Bytes(at, formSize)) {
                Descriptor found{*record->Le32(d::kCrc), 0, 0};
                if (zip64Form) {
                    found.compressedSize = *record->Le64(d::kCompressedSize);
                    found.uncompressedSize = *record->Le64(d::kZip64UncompressedSize);
                } else {
                    found.compressedSize = *record->Le32(d::kCompressedSize);
                    found.uncompressedSize = *record->Le32(d::kUncompressedSize);
                }
                if (found.compressedSize == at - dataStart && !stored)
                    return found;
                if (found.compressedSize == at - dataStart && found.uncompressedSize == found.compressedSize) {
                    if (CrcOfSource(dataStart, found.compressedSize) == found.crc)
                        return found;
                    if (!sizesOnly)
                        sizesOnly = found;
                }
            }
        } else if (sig->Matches(0, zip::kLocalHeaderSig, 4) && AcceptableHeaderAt(m_source, at)) {
            return sizesOnly;
        }
    }
    return std::nullopt;
}

// Inflates from the data start as far as the stream goes. When it ends, its
// length, CRC and size are the entry's; a signed descriptor right behind it
// that gives another CRC marks the data as damaged, so its CRC is kept for the
// check that follows. Nothing when the stream breaks off or fails.
std::optional<Descriptor> CRebuild::MeasureDeflateStream(std::uint64_t dataStart) {
    CEntryCheck stream(zip::kMethodDeflated);
    if (!FeedSource(stream, dataStart, m_state.sourceSize - std::min(dataStart, m_state.sourceSize)) ||
        !stream.Ended())
        return std::nullopt;
    Descriptor measured{stream.Crc(), stream.StreamLength(), stream.Produced()};
    auto behind = m_source.Bytes(dataStart + measured.compressedSize, zip::descriptor::kSize);
    if (behind && behind->Matches(0, zip::kDescriptorSig, 4))
        measured.crc = *behind->Le32(zip::descriptor::kCrc);
    return measured;
}

std::optional<std::uint32_t> CRebuild::CrcOfSource(std::uint64_t position, std::uint64_t count) {
    CEntryCheck stored(zip::kMethodStored);
    if (!FeedSource(stored, position, count))
        return std::nullopt;
    return stored.Crc();
}

// Feeds `count` bytes of the source from `position` to `check` in whole blocks
// of the source, so every read is served from its block, until a deflate
// stream ends or fails. False when the bytes cannot be read or the job is
// cancelled.
bool CRebuild::FeedSource(CEntryCheck& check, std::uint64_t position, std::uint64_t count) {
    for (std::uint64_t done = 0; done < count && !check.Ended() && !check.Failed();) {
        if (m_cancel.Cancelled())
            return false;
        const std::uint64_t at = position + done;
        const std::uint64_t piece = std::min<std::uint64_t>(CPackageSource::kBlockSize - at % CPackageSource::kBlockSize,
                                                            count - done);
        auto bytes = m_source.Bytes(at, static_cast<std::size_t>(piece));
        if (!bytes)
            return false;
        check.Feed(bytes->data(), bytes->size());
        done += piece;
    }
    return true;
}

std::optional<std::uint64_t> CRebuild::TakeEntry(std::uint64_t position, bool& failed) {
    auto in = ReadLocalHeader(m_source, position);
    if (!in)
        return std::nullopt;
    if (auto named = NamedByDirectory(*in, position))
        in = named;
    if (!Acceptable(*in, position, m_state.sourceSize)) {
        NoteCutEntry(*in, position);
        return std::nullopt;
    }
    const std::string partName = PartName(*in);
    if (m_names.count(partName))
        return std::nullopt;
    const std::uint64_t dataStart = position + in->Length();

    LocalHeader h = *in;
    std::uint16_t flags = h.flags;
    if (h.HasDescriptor()) {
        auto d = ResolveDescriptor(h, dataStart);
        if (!d) {
            // Cut off inside its data: salvaged after the rebuild, as far as it goes.
            if (!m_cancel.Cancelled())
                NoteCutEntry(h, position);
            return std::nullopt;
        }
        h.crc = d->crc;
        h.compressedSize = d->compressedSize;
        h.uncompressedSize = d->uncompressedSize;
        // The descriptor is not copied, so the copy is not marked as followed by
        // one; the traditional encryption's check byte depends on the flag, so an
        // encrypted entry keeps it.
        if (!(flags & zip::kFlagEncrypted))
            flags &= static_cast<std::uint16_t>(~zip::kFlagDescriptor);
    }
    if (m_cancel.Cancelled())
        return std::nullopt;
    m_names.insert(partName);

    m_state.entryCount++;
    m_state.headerOffset = m_state.outputOffset;
    m_state.offsetZip64 = m_state.headerOffset >= k32;
    // A version no reader knows is a damaged byte: readers refuse the entry for it.
    if ((h.versionNeeded & 0xFF) > zip::kHighestVersion)
        h.versionNeeded = h.zip64Field ? zip::kVersionZip64 : zip::kVersionDeflate;
    m_state.lastVersionNeeded = h.versionNeeded;

    // ZIP64 only where it is needed: a local ZIP64 form whose sizes and offset fit
    // 32 bits is written as a plain header without its ZIP64 field.
    bool needs64 = h.uncompressedSize >= k32 || h.compressedSize >= k32 || m_state.offsetZip64;
    m_state.entryZip64 = h.zip64Field && needs64;
    std::vector<std::uint8_t> header = h.bytes;
    std::size_t extraStart = zip::local::kSize + h.nameLength;
    if (h.zip64Field && !needs64) {
        auto field = header.begin() + static_cast<std::ptrdiff_t>(extraStart + *h.zip64Field);
        std::size_t fieldLength = zip::kExtraHeaderSize + *CByteView(&*field, 4).Le16(2);
        header.erase(field, field + static_cast<std::ptrdiff_t>(fieldLength));
        PutLe16(&header[zip::local::kExtraLength], static_cast<std::uint16_t>(h.extraLength - fieldLength));
    }
    PutLe16(&header[zip::local::kVersionNeeded], h.versionNeeded);
    PutLe16(&header[zip::local::kFlags], flags);
    PutLe32(&header[zip::local::kCrc], h.crc);
    if (m_state.entryZip64) {
        std::uint8_t* field = &header[extraStart + *h.zip64Field + zip::kExtraHeaderSize];
        PutLe64(field, h.uncompressedSize);
        PutLe64(field + 8, h.compressedSize);
        PutLe32(&header[zip::local::kCompressedSize], k32);
        PutLe32(&header[zip::local::kUncompressedSize], k32);
    } else {
        PutLe32(&header[zip::local::kCompressedSize], static_cast<std::uint32_t>(h.compressedSize));
        PutLe32(&header[zip::local::kUncompressedSize], static_cast<std::uint32_t>(h.uncompressedSize));
    }
    h.flags = flags;

    const std::uint64_t outLength = header.size() + h.compressedSize;
    m_state.entryLengths.push_back(outLength);
    AppendDirectoryRecord(header, h, m_state.entryZip64);

    // The header as changed, then the data unchanged.
    bool ok = m_output.Append(header.data(), header.size());
    m_state.bytesWritten += header.size();
    // The data is checked as it is copied: one pass over it.
    CEntryCheck check(*CByteView(header.data(), header.size()).Le16(zip::local::kMethod));
    if (ok && m_source.InBlock(dataStart, h.compressedSize)) {
        auto data = m_source.Bytes(dataStart, static_cast<std::size_t>(h.compressedSize));
        ok = data && m_output.Append(data->data(), data->size());
        if (data)
            check.Feed(data->data(), data->size());
        m_state.bytesWritten += h.compressedSize;
        Progress();
    } else if (ok) {
        std::uint64_t before = m_state.bytesWritten;
        ok = m_output.CopyChecked(m_source.Fd(), dataStart, h.compressedSize, check, [&](std::uint64_t copied) {
            m_state.bytesWritten = before + copied;
            Progress();
            return !m_cancel.Cancelled();
        });
    }
    m_state.entrySound.push_back(check.Sound(h.crc, h.uncompressedSize));
    if (!ok) {
        failed = true;
        return std::nullopt;
    }
    m_state.outputOffset += outLength;
    return dataStart + h.compressedSize;
}

// Where the old directory has a record for this header that names another
// entry, and the bytes after the header's fixed part are that name, the name
// length was damaged: the header is read again with the record's. Its data
// must then end where the record says.
std::optional<LocalHeader> CRebuild::NamedByDirectory(const LocalHeader& h, std::uint64_t position) {
    auto record = m_directory.find(position);
    if (record == m_directory.end())
        return std::nullopt;
    const std::string& name = record->second.name;
    if (name.size() == h.nameLength)
        return std::nullopt;
    auto bytes = m_source.Bytes(position + zip::local::kSize, name.size());
    if (!bytes || !bytes->Matches(0, name.data(), name.size()))
        return std::nullopt;
    auto named = ReadLocalHeader(m_source, position, static_cast<std::uint16_t>(name.size()));
    if (!named || (!named->HasDescriptor() && named->compressedSize != record->second.compressedSize))
        return std::nullopt;
    m_state.namedByDirectory.push_back(name);
    return named;
}

// Only a named entry whose data starts inside the file is worth inflating up
// to the end of the file.
void CRebuild::NoteCutEntry(const LocalHeader& h, std::uint64_t position) {
    const std::uint64_t dataStart = position + h.Length();
    if (h.nameLength == 0 || dataStart >= m_state.sourceSize || m_state.cutEntries.size() >= kMaxCutEntries)
        return;
    std::string name(h.bytes.begin() + zip::local::kSize, h.bytes.begin() + zip::local::kSize + h.nameLength);
    m_state.cutEntries.push_back({name, h.method, h.flags, dataStart});
}

void CRebuild::AppendDirectoryRecord(const std::vector<std::uint8_t>& header, const LocalHeader& h,
                                     bool entryZip64) {
    const bool archive64 = m_state.archiveZip64;
    const bool offset64 = m_state.offsetZip64;
    const bool compressed64 = h.compressedSize >= k32;
    CByteView local(header.data(), header.size());
    const std::uint16_t outExtraLength = *local.Le16(zip::local::kExtraLength);

    // The extra field: the local one as written, or an NTFS field (zero times)
    // followed by the ZIP64 values that apply.
    std::vector<std::uint8_t> extra;
    if (!archive64 && !entryZip64) {
        const std::uint8_t* start = header.data() + zip::local::kSize + h.nameLength;
        extra.assign(start, start + outExtraLength);
    } else {
        extra.resize(zip::kNtfsExtraSize, 0);
        PutLe16(&extra[0], zip::kNtfsExtraTag);
        PutLe16(&extra[2], zip::kNtfsExtraSize - zip::kExtraHeaderSize);
        PutLe16(&extra[8], zip::kNtfsTimesTag);
        PutLe16(&extra[10], zip::kNtfsTimesSize);
        std::vector<std::uint64_t> values;
        if (entryZip64)
            values.push_back(h.uncompressedSize);
        if (entryZip64 && compressed64)
            values.push_back(h.compressedSize);
        if (offset64)
            values.push_back(m_state.headerOffset);
        if (!values.empty()) {
            std::size_t at = extra.size();
            extra.resize(at + zip::kExtraHeaderSize + 8 * values.size());
            PutLe16(&extra[at], zip::kZip64ExtraTag);
            PutLe16(&extra[at + 2], static_cast<std::uint16_t>(8 * values.size()));
            for (std::size_t i = 0; i < values.size(); ++i)
                PutLe64(&extra[at + zip::kExtraHeaderSize + 8 * i], values[i]);
        }
    }

    std::uint8_t record[zip::central::kSize] = {};
    namespace c = zip::central;
    PutLe32(record, zip::kCentralHeaderMagic);
    PutLe16(record + c::kVersionMadeBy, h.versionNeeded);
    PutLe16(record + c::kVersionNeeded, h.versionNeeded);
    PutLe16(record + c::kFlags, h.flags);
    PutLe16(record + c::kMethod, *local.Le16(zip::local::kMethod));
    PutLe16(record + c::kTime, *local.Le16(zip::local::kTime));
    PutLe16(record + c::kDate, *local.Le16(zip::local::kDate));
    PutLe32(record + c::kCrc, h.crc);
    PutLe32(record + c::kCompressedSize, compressed64 ? k32 : static_cast<std::uint32_t>(h.compressedSize));
    PutLe32(record + c::kUncompressedSize, entryZip64 ? k32 : static_cast<std::uint32_t>(h.uncompressedSize));
    PutLe16(record + c::kNameLength, h.nameLength);
    PutLe16(record + c::kExtraLength, static_cast<std::uint16_t>(extra.size()));
    PutLe32(record + c::kExternalAttributes, c::kArchiveAttribute);
    PutLe32(record + c::kLocalHeaderOffset,
            offset64 ? k32 : static_cast<std::uint32_t>(m_state.headerOffset));

    auto& dir = m_state.directory;
    dir.insert(dir.end(), record, record + sizeof record);
    dir.insert(dir.end(), header.begin() + zip::local::kSize,
               header.begin() + static_cast<std::ptrdiff_t>(zip::local::kSize + h.nameLength));
    dir.insert(dir.end(), extra.begin(), extra.end());
}

bool CRebuild::CopyEntries() {
    std::uint64_t& at = m_state.scanPosition;
    while (at < m_state.sourceSize) {
        if (m_cancel.Cancelled())
            return false;
        at = m_source.NextCandidate(at);
        auto sig = m_source.Bytes(at, 4);
        if (!sig)
            break;
        if (sig->Matches(0, zip::kLocalHeaderSig, 4)) {
            bool failed = false;
            if (auto next = TakeEntry(at, failed)) {
                at = *next;
                continue;
            }
            if (failed || m_cancel.Cancelled())
                return false;
        } else if (sig->Matches(0, zip::kCentralHeaderSig, 4)) {
            // The old directory of a stored entry ends the scan.
            auto method = m_source.Bytes(at + zip::kCentralMethodOffset, 2);
            if (method && *method->Le16(0) == 0)
                break;
        }
        ++at;
    }
    return true;
}

bool CRebuild::WriteDirectoryAndEnd() {
    auto& s = m_state;
    const std::uint64_t dirLength = s.directory.size();
    bool ok = m_output.Append(s.directory.data(), s.directory.size());
    s.bytesWritten += dirLength;
    Progress();

    std::vector<std::uint8_t> end;
    AppendEndRecords(end, s.entryCount, s.outputOffset, dirLength, s.lastVersionNeeded);
    ok = ok && m_output.Append(end.data(), end.size());

    s.bytesWritten = s.sourceSize;
    Progress(true);
    return ok;
}

}  // namespace

BOOL RebuildPackageFile(const PackageJob& job, const std::string& sourcePath, const std::string& outputPath) {
    PackageScanState& s = job.scan;
    s.bytesWritten = 0;
    s.directory.clear();
    s.entryLengths.clear();
    s.cutEntries.clear();
    s.namedByDirectory.clear();
    s.entrySound.clear();
    job.report.Progress(0, 0);

    CPackageSource source;
    if (!source.Open(sourcePath))
        return FALSE;
    s.sourceSize = source.Size();
    s.archiveZip64 = s.sourceSize >= k32;

    COutput output;
    if (!output.Create(outputPath))
        return FALSE;
    CRebuild rebuild(source, output, job);
    if (!rebuild.CopyEntries()) {
        output.Close();
        DeleteFileW(outputPath);
        return FALSE;
    }
    bool written = rebuild.WriteDirectoryAndEnd();
    written = output.Close() && written;
    if (!written) {
        DeleteFileW(outputPath);
        return FALSE;
    }
    std::uint64_t size = 0;
    return GetFileSize(outputPath, size) && size >= kMinimumResult ? TRUE : FALSE;
}

BOOL RebuildPackage(const PackageJob& job) {
    return RebuildPackageFile(job, TempFilePath(kPackageCopyName), TempFilePath(kPackageResultName));
}
