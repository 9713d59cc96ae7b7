#pragma once
// A binary presentation whose compound-file header is lost: the first bytes no
// longer say what the file is, but its document stream is still in it.
#include <string_view>

#include "repair/io/raw_file.h"

class CancelToken;

// Both read the whole file and give false on a cancel.

// True when `file` holds a DocumentContainer header at the start of a 64-byte
// unit, where the "PowerPoint Document" stream of a compound file begins
// (a sector, or a mini sector of a small stream).
bool HoldsDocumentStream(CRawFile& file, const CancelToken& cancel);

// True when a directory entry of `file` is named `name` (ASCII), wherever the
// directory lies: entries are 128-byte aligned and start with their UTF-16 name.
bool NamesStream(CRawFile& file, std::string_view name, const CancelToken& cancel);
