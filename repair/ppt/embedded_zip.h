#pragma once
// Some records of the document stream carry a ZIP package (the round-trip
// records of newer writers: themes, layouts, text styles). Its CRCs tell
// whether bytes gathered from several sectors are the record's own.
#include "repair/io/read_value.h"

// Whether `bytes` open with a ZIP whose entries, up to its central directory,
// each inflate (or, stored, read) to the size and CRC-32 that the entry gives.
bool EmbeddedZipChecksOut(const CByteView& bytes);

// Whether `bytes` start with a ZIP entry's local header.
bool OpensWithZipEntry(const CByteView& bytes);
