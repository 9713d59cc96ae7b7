#pragma once
// The phases a repair goes through, in order, so that the user can read what the
// repair is doing while the progress bar moves.
enum class RepairPhase {
    Reading,           // reading the damaged file
    FindingRecords,    // finding the records and entries it still holds
    RebuildingDocument,  // relinking, cutting or rebuilding the document
    CheckingResult,    // the office test-opens the result
    Comparing,         // comparing with what the office shows of the damaged file
    BuildingSlides,    // building slides anew through the office
    Finishing,
};
