// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The state file written so that a crash at any moment leaves the last
// state or the new one whole, and the jobs it keeps started again.
#ifndef ZELP_PA_STATE_H
#define ZELP_PA_STATE_H

#include <pappl/pappl.h>

#include <string>

namespace zelp::pa {

// Replaces the file at `path` with `text`: a new file, synced, renamed
// over the old one. False (and the old file untouched) on any failure.
bool ReplaceFile(const std::string& path, const std::string& text);

// Saves the system's state into `path` as ReplaceFile does. The job
// attribute files that PAPPL rewrites in the `spool` folder are put aside
// first and dropped once the new state is in place.
bool SaveStateSafely(pappl_system_t* system, const std::string& path, const std::string& spool);

// Undoes what a save cut short left behind, before the state is loaded:
// the job attribute files put aside come back, a half-written state goes.
// True when there was such a save.
bool RecoverInterruptedSave(const std::string& path, const std::string& spool);

// Starts the jobs that the state brought back, as soon as the server runs
// (PAPPL starts a printer's jobs only when a new one arrives), and has
// every change saved within a second.
void StartKeptJobsAtRun(pappl_system_t* system);

}  // namespace zelp::pa

#endif
