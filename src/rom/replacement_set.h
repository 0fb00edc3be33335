// Brenvik: what a run rebuilds its games with: one replacement for every
// game, or several donors of which each game takes the one that fits it.
#ifndef BRENVIK_ROM_REPLACEMENT_SET_H_
#define BRENVIK_ROM_REPLACEMENT_SET_H_

#include <string>
#include <vector>

#include "rom/replacement.h"
#include "rom/run_context.h"
#include "rom/sdk_version.h"
#include "rom/status.h"

/// The replacements of a run. With `several`, `choices` are donors and
/// each game takes the best of them (`best_donor`); otherwise the one
/// choice serves every game.
struct ReplacementSet {
  std::vector<Replacement> choices;
  bool several = false;
  /// Where several donors came from, as the user named it.
  std::string source;
};

/// A set of the one replacement `replacement`.
ReplacementSet single_replacement(Replacement replacement);

/// What a game shows the choice of its donor: its version and the
/// addresses its ARM7 binary runs at, where its header has them.
struct GameFacts {
  std::string path;
  SdkVersion sdk;
  bool addresses_known = false;
  Arm7Addresses addresses = {};
};

/// The index in `donors` of the best donor for `game`, or -1 where there
/// is none but the game itself. Ranked, in this order: the game's side of
/// SDK 5 (from the versions, or where one is missing its ARM7 binary's
/// side), then donors whose side or the game's is not known, then the
/// other side; ARM7 addresses equal to the game's; a known version before
/// a side alone; the same major version; the smallest distance between the
/// two versions, the older donor on a tie; the file name, ignoring case.
int best_donor(const std::vector<Replacement>& donors, const GameFacts& game);

/// Looks at every file of `paths` as a donor, each known in messages as
/// the path and in the choice by its file name: says through `status`
/// why one cannot serve, with the texts a single donor gets, and leaves it
/// out. No binary is taken yet. `source` names where they came from.
ReplacementSet look_at_donors(const std::vector<std::string>& paths,
                              const std::string& source, Status& status);

/// The replacement for `game`: the one of a single set; of several, the
/// best donor, said through `status` ("Using the arm7 binary of ..."),
/// its binary taken into a scratch file when it is first chosen and kept
/// for the run; when checking not taken at all, when verifying read where
/// it lies. A donor whose binary cannot be taken is said and left out, and
/// the next best taken. Null, with the failure in `*failure`, when none is
/// left.
const Replacement* replacement_for(ReplacementSet& set, const GameFacts& game,
                                   RunMode mode, Status& status,
                                   Failure* failure);

#endif  // BRENVIK_ROM_REPLACEMENT_SET_H_
