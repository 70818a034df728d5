// Foreign entries of SafeBoot removed at the technician's word: refused
// before anything changes where one may not go, saved first in a .reg file
// that puts each back with one import, then deleted and read back.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "repair/outcome.h"
#include "repair/reg_file.h"

namespace veltrik {

struct Removal {
  Outcome outcome = Outcome::kRefused;  // kRemoved, kNotRemoved, or kRefused with nothing changed
  std::string report;                   // lines ended by CR LF
};

// Why the entries named (Minimal\<name> or Network\<name>, without regard to
// case) may not be removed, as far as their names and the compared list
// tell: one "Refused: ..." line each; "" where none is refused.
std::string RefuseRemovals(const std::vector<std::string>& entries, const SafeBootTemplate& stored);

// Removes the entries named from the SafeBoot key of the template's control
// set: refused as above and where one is not there or holds a name that a
// .reg file cannot carry; otherwise saved in a new Veltrik-removed-<time>.reg
// in the first of `folders` that takes it (nothing removed where none does),
// with its keys as the Windows names them (`loaded_as`, as for the report);
// then each deleted and its absence read back.
Removal RemoveEntries(Platform& platform, const std::vector<std::string>& entries, const SafeBootTemplate& stored,
                      const std::string& loaded_as, const std::vector<std::string>& folders);

}  // namespace veltrik
