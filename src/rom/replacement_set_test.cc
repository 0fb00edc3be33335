// Tests of the choice of a donor for each game.
#include "rom/replacement_set.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "scratch.h"
#include "test_image.h"

namespace {

// A donor named `name` of `version` (0: none, but its side), built for
// `ram`.
Replacement donor(const std::string& name, uint32_t version,
                  uint32_t ram = 0x37F8000,
                  Sdk5Side side = Sdk5Side::unknown) {
  Replacement r;
  r.path = r.source_name = name;
  r.donor_image = r.from_donor = true;
  r.sdk = {version != 0, version, side};
  r.donor = {ram, ram};
  return r;
}

std::string chosen(const std::vector<Replacement>& donors, uint32_t version,
                   uint32_t ram = 0x37F8000,
                   Sdk5Side side = Sdk5Side::unknown) {
  GameFacts game;
  game.sdk = {version != 0, version, side};
  game.addresses_known = true;
  game.addresses = {ram, ram};
  const int best = best_donor(donors, game);
  return best < 0 ? "none" : donors[size_t(best)].source_name;
}

}  // namespace

TEST(ReplacementSet, EachGameTakesTheDonorThatFitsItBest) {
  std::vector<Replacement> set;
  for (auto [name, version] : {std::pair{"d20.nds", 0x02000000u},
                               {"d30.nds", 0x03000000u},
                               {"d41.nds", 0x04010000u},
                               {"d43.nds", 0x04030000u},
                               {"d50.nds", 0x05000000u},
                               {"d52.nds", 0x05020000u},
                               {"none.nds", 0u}})
    set.push_back(donor(name, version));
  struct Case {
    uint32_t game;
    std::vector<const char*> donors;  // by name, from `set`; all when empty
    const char* chosen;
  } cases[] = {
      // The same major version, then the nearest, the older on a tie.
      {0x04020000, {}, "d41.nds"},
      {0x04030000, {}, "d43.nds"},
      {0x04010000, {"d30.nds", "d50.nds"}, "d30.nds"},
      {0x03008000, {"d41.nds", "d20.nds"}, "d20.nds"},  // a tie
      {0x03800000, {"d20.nds", "d41.nds", "d43.nds"}, "d41.nds"},
      {0x05010000, {}, "d50.nds"},
      // The game's side of SDK 5 first, then a donor of no version, then
      // the other side.
      {0x05010000, {"d41.nds", "d43.nds", "none.nds"}, "none.nds"},
      {0x05010000, {"d41.nds", "d43.nds"}, "d43.nds"},
      {0x04000000, {"d50.nds", "none.nds", "d52.nds"}, "none.nds"},
      // A game of no version: every donor is as good by its side; the name
      // decides.
      {0, {"d52.nds", "d30.nds", "none.nds"}, "d30.nds"},
  };
  for (const Case& c : cases) {
    std::vector<Replacement> donors;
    for (const Replacement& r : set) {
      bool wanted = c.donors.empty();
      for (const char* name : c.donors) wanted = wanted || r.source_name == name;
      if (wanted) donors.push_back(donor(r.source_name, r.sdk.value));
    }
    SCOPED_TRACE(formatted("game 0x%08X", unsigned(c.game)));
    EXPECT_EQ(c.chosen, chosen(donors, c.game));
  }

  // Addresses equal to the game's come before the nearer version, but
  // after its side of SDK 5.
  std::vector<Replacement> by_address;
  by_address.push_back(donor("near.nds", 0x04020000, 0x2380000));
  by_address.push_back(donor("far.nds", 0x04000000, 0x37F8000));
  by_address.push_back(donor("other side.nds", 0x05000000, 0x37F8000));
  EXPECT_EQ("far.nds", chosen(by_address, 0x04020000, 0x37F8000));
  EXPECT_EQ("near.nds", chosen(by_address, 0x04020000, 0x2380000));
  // On all else equal the name, with case ignored.
  std::vector<Replacement> named_alike;
  named_alike.push_back(donor("b.nds", 0x04000000));
  named_alike.push_back(donor("A.nds", 0x04000000));
  EXPECT_EQ("A.nds", chosen(named_alike, 0x04000000));
  EXPECT_EQ("none", chosen({}, 0x04000000));

  // A side counts where a version is missing, on either part; a donor
  // known by its side alone comes after the known versions of that side
  // and alike addresses.
  const uint32_t ram = 0x37F8000;
  std::vector<Replacement> sides;
  sides.push_back(donor("a side 5.nds", 0, ram, Sdk5Side::from_sdk5));
  sides.push_back(donor("b side 4.nds", 0, ram, Sdk5Side::before));
  sides.push_back(donor("c41.nds", 0x04010000, 0x2380000));
  sides.push_back(donor("d50.nds", 0x05000000, ram));
  EXPECT_EQ("d50.nds", chosen(sides, 0x05010000));
  EXPECT_EQ("b side 4.nds", chosen(sides, 0x04010000));
  EXPECT_EQ("c41.nds", chosen(sides, 0x04010000, 0x2380000));
  EXPECT_EQ("b side 4.nds", chosen(sides, 0, ram, Sdk5Side::before));
  sides.erase(sides.begin() + 3);
  EXPECT_EQ("a side 5.nds", chosen(sides, 0x05010000));
  EXPECT_EQ("a side 5.nds", chosen(sides, 0, ram, Sdk5Side::from_sdk5));
}

// Several donors in a run: the game itself is never its own donor, a donor
// that cannot serve is said once and left out, and a binary is taken when
// its donor is first chosen.
TEST(ReplacementSet, DonorsAreLookedAtOnceAndTakenWhenFirstChosen) {
  const std::string dir = make_scratch_dir();
  ASSERT_TRUE(write_bytes(dir + "a.nds", image_from(std::string(kSampleDonor) +
                                                     "arm9 0x200 0x200\n"
                                                     "sdk 0x40 0x04010000")));
  ASSERT_TRUE(write_bytes(dir + "b.nds", image_from(std::string(kSampleDonor) +
                                                     "arm9 0x200 0x200\n"
                                                     "sdk 0x40 0x04020000")));
  ASSERT_TRUE(write_bytes(dir + "broken.nds", {1, 2, 3}));
  RecordingStatus status;
  ReplacementSet set = look_at_donors(
      {dir + "a.nds", dir + "broken.nds", dir + "b.nds"}, dir, status);
  EXPECT_EQ(std::vector<std::string>{"The " + dir +
                                     "broken.nds could not be read!\n\n"},
            status.heard);
  ASSERT_EQ(2u, set.choices.size());
  EXPECT_FALSE(replacement_taken(set.choices[0]));

  // a.nds (4.1) fits a 4.1 game; as the game itself, b.nds serves it.
  GameFacts game;
  game.sdk = {true, 0x04010000};
  Failure failure;
  status.heard.clear();
  const Replacement* used =
      replacement_for(set, game, RunMode::fix, status, &failure);
  ASSERT_TRUE(used);
  EXPECT_EQ("a.nds", used->source_name);
  EXPECT_TRUE(replacement_taken(*used));
  game.path = dir + "a.nds";
  used = replacement_for(set, game, RunMode::check, status, &failure);
  ASSERT_TRUE(used);
  EXPECT_EQ("b.nds", used->source_name);
  EXPECT_FALSE(replacement_taken(*used));  // only checking
  EXPECT_EQ((std::vector<std::string>{
                "Using the arm7 binary of a.nds (SDK 4.1).\n\n",
                "Using the arm7 binary of b.nds (SDK 4.2).\n\n"}),
            status.heard);

  // A donor gone before its binary is taken is said and the next one used.
  ASSERT_TRUE(remove_file(dir + "b.nds"));
  status.heard.clear();
  game.path.clear();
  game.sdk = {true, 0x04020000};
  used = replacement_for(set, game, RunMode::fix, status, &failure);
  ASSERT_TRUE(used);
  EXPECT_EQ("a.nds", used->source_name);
  EXPECT_EQ((std::vector<std::string>{
                "Using the arm7 binary of b.nds (SDK 4.2).\n\n",
                "The " + dir + "b.nds could not be read!\n\n",
                "Using the arm7 binary of a.nds (SDK 4.1).\n\n"}),
            status.heard);
  // With only the game itself left there is none.
  game.path = dir + "a.nds";
  EXPECT_EQ(nullptr, replacement_for(set, game, RunMode::fix, status, &failure));
  EXPECT_EQ(Failure::no_usable_donor, failure);
  remove_tree(dir);
}
