#pragma once
// The relink as the binary chain runs it: over the "PowerPoint Document"
// stream as the compound file's own tables give it when they are readable (with
// the user edit that "Current User" names), else, when the image is the whole
// file, over the stream put back together from its directory entry and records,
// else over the document image.
#include <string>

#include "repair/io/job_control.h"
#include "repair/io/raw_file.h"
#include "repair/ppt/document_image.h"
#include "repair/ppt/persist_relink.h"

struct CarvedSource;

// `path` is the file under repair, `carved` its carved pictures with the same
// file open for block reads. The result is not usable when neither the stream
// nor the image holds a live document.
RelinkResult RelinkSourceDocument(const std::string& path, const CDocumentImage& image, const CarvedSource& carved,
                                  const CancelToken& cancel);

// offsetToCurrentEdit of the "Current User" stream of the file at `path`, when
// that stream is readable.
std::optional<std::uint32_t> CurrentEditOf(const std::string& path);
