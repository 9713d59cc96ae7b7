#pragma once
// The check of one entry's data as it streams past: inflated when deflated (into
// a scratch buffer, nothing kept), its CRC and size computed.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CEntryCheck {
public:
    // `method` 0 (stored) or 8 (deflated); any other method is not checked.
    explicit CEntryCheck(std::uint16_t method);
    ~CEntryCheck();
    CEntryCheck(const CEntryCheck&) = delete;
    CEntryCheck& operator=(const CEntryCheck&) = delete;

    bool Checkable() const { return m_checkable; }
    // The next piece of the entry's data as stored.
    void Feed(const std::uint8_t* data, std::size_t count);
    // True when the data was whole and its CRC and size are those given.
    bool Sound(std::uint32_t crc, std::uint64_t uncompressedSize) const;
    // What the data fed so far gave: an entry whose sizes follow its data is
    // measured by its own deflate stream.
    bool Ended() const { return m_ended; }
    bool Failed() const { return m_failed; }
    std::uint64_t StreamLength() const { return m_streamLength; }  // compressed bytes up to the end
    std::uint32_t Crc() const { return m_crc; }
    std::uint64_t Produced() const { return m_produced; }

private:
    struct Inflater;
    bool m_checkable = false;
    bool m_failed = false;
    bool m_ended = false;
    bool m_deflated = false;
    std::uint32_t m_crc = 0;
    std::uint64_t m_produced = 0;
    std::uint64_t m_streamLength = 0;
    std::unique_ptr<Inflater> m_inflater;
};
