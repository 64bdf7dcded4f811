#pragma once
// Random run order that keeps restricted randomisation: blocks, whole-whole plots and whole
// plots stay contiguous, their order and the runs within each shuffled.
namespace doeBussiness {

class DoeTableManager;

// False (table untouched) when the table has no "Block", "Whole-Whole Plots" or "Whole Plots"
// column; the caller then shuffles freely.
bool shuffleRowsKeepingPlots(DoeTableManager& table);

}  // namespace doeBussiness
