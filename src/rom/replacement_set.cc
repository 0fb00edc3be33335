// Brenvik: choosing the donor that fits each game.
#include "rom/replacement_set.h"

#include <cstdint>
#include <tuple>

#include "platform/platform.h"
#include "rom/extract_arm7.h"
#include "rom/output_name.h"

namespace {

// How well `donor` fits `game`; the smaller, the better, up to the name.
std::tuple<int, int, int, int, uint64_t, int> fit(const Replacement& donor,
                                                  const GameFacts& game) {
  const Sdk5Side donor_side = sdk5_side(donor.sdk), game_side = sdk5_side(game.sdk);
  const int side = donor_side == Sdk5Side::unknown ||
                           game_side == Sdk5Side::unknown
                       ? 1
                   : donor_side == game_side ? 0
                                             : 2;
  const int addresses = game.addresses_known &&
                                donor.donor.entry == game.addresses.entry &&
                                donor.donor.ram == game.addresses.ram
                            ? 0
                            : 1;
  // A known version tells more than a side alone.
  const int exact = donor.sdk.known ? 0 : 1;
  const bool both_known = donor.sdk.known && game.sdk.known;
  const int major =
      both_known && donor.sdk.major() == game.sdk.major() ? 0 : 1;
  uint64_t distance = UINT64_MAX;
  int newer = 0;
  if (both_known) {
    distance = donor.sdk.value > game.sdk.value
                   ? donor.sdk.value - game.sdk.value
                   : game.sdk.value - donor.sdk.value;
    newer = donor.sdk.value > game.sdk.value ? 1 : 0;
  }
  return {side, addresses, exact, major, distance, newer};
}

}  // namespace

ReplacementSet single_replacement(Replacement replacement) {
  ReplacementSet set;
  set.choices.push_back(std::move(replacement));
  return set;
}

int best_donor(const std::vector<Replacement>& donors, const GameFacts& game) {
  int best = -1;
  for (size_t i = 0; i < donors.size(); ++i) {
    if (!game.path.empty() && same_file(donors[i].path, game.path)) continue;
    if (best >= 0) {
      const auto a = fit(donors[i], game), b = fit(donors[size_t(best)], game);
      if (a > b || (a == b && !game_name_less(donors[i].source_name,
                                              donors[size_t(best)].source_name)))
        continue;
    }
    best = int(i);
  }
  return best;
}

ReplacementSet look_at_donors(const std::vector<std::string>& paths,
                              const std::string& source, Status& status) {
  ReplacementSet set;
  set.several = true;
  set.source = source;
  for (const std::string& path : paths) {
    Replacement donor;
    const Failure failure =
        look_at_replacement(path, path, Offered::as_donor, &donor);
    if (failure != Failure::none) {
      status.message(failure_message(failure, path));
      continue;
    }
    donor.source_name = path.substr(folder_part(path).size());
    set.choices.push_back(std::move(donor));
  }
  return set;
}

const Replacement* replacement_for(ReplacementSet& set, const GameFacts& game,
                                   RunMode mode, Status& status,
                                   Failure* failure) {
  *failure = Failure::none;
  if (!set.several) return &set.choices.front();
  for (;;) {
    const int best = best_donor(set.choices, game);
    if (best < 0) {
      *failure = Failure::no_usable_donor;
      return nullptr;
    }
    Replacement& donor = set.choices[size_t(best)];
    status.message(formatted(message_using_donor, donor.source_name.c_str(),
                             sdk_short_text(donor.sdk).c_str()));
    if (replacement_taken(donor)) return &donor;
    const Failure taken = take_donor_binary("", mode, false, &donor);
    if (taken == Failure::none) return &donor;
    status.message(failure_message(taken, donor.path));
    set.choices.erase(set.choices.begin() + best);
  }
}
