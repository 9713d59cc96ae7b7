#pragma once
// Which slides the rebuild from fragments builds, and from which records. The
// live slide list decides when one survives: one slide per entry, each built
// once, from the newest version of its slide container. Only when no slide list
// survives does every slide container make a slide, the newest version of each.
// Notes and masters never make slides.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"

struct PlannedSlide {
    // The slide list's SlidePersistAtom and the text records after it (the
    // slide's placeholder texts); empty without a slide list.
    std::vector<std::uint8_t> listEntry;
    // The newest version of the slide's SlideContainer; empty when none was found.
    std::vector<std::uint8_t> container;
    // The newest version of the NotesContainer that its SlideAtom names through
    // the live notes list; empty when it has none or none was found.
    std::vector<std::uint8_t> notes;
    // The BLIP ids of the pictures its shapes show, in the order they name them.
    std::vector<std::array<std::uint8_t, 16>> pictures;
};

struct SlidePlan {
    // A slide list survived and decided the slides: a carved picture that none
    // of them shows belongs to a master, an older version or a deleted slide.
    bool fromSlideList = false;
    std::vector<PlannedSlide> slides;
};

// Plans the slides of the document stream `view` (or of sectors of the file,
// `scattered`, as the relink takes them); `currentEdit` as "Current User" names it.
SlidePlan PlanSlides(const CByteView& view, std::optional<std::uint32_t> currentEdit = std::nullopt,
                     bool scattered = false);

// Plans the slides of the file at `path`, open as `file`: from its document
// stream when the compound file gives it and a slide is found there, else
// from the whole file.
SlidePlan PlanSourceSlides(const std::string& path, CRawFile& file);
