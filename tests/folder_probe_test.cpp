#include "folder_probe.h"

#include <gtest/gtest.h>

#include "support_fixtures.h"

namespace {

TEST(FolderProbe, ListingRulesOutOnlyWhatNoFileSystemCouldFind) {
  const std::unordered_set<std::string> listed = {"scenery", "zone"};
  EXPECT_TRUE(ListingRulesOut("Missing", listed, true));
  for (const char* name :
       {"Scenery", "ZONE", "GENERA~1", "Missing.", "Missing ", "Caf\xc3\xa9", ".", "..", ""})
    EXPECT_FALSE(ListingRulesOut(name, listed, true)) << name;
  EXPECT_FALSE(ListingRulesOut("Missing", listed, false));  // a listed name is not plain ASCII
}

// Past the misses that make it list a folder, the probe still finds what is there.
TEST(FolderProbe, FindsFoldersAfterListingTheirParent) {
  ScratchFolder sim;
  std::filesystem::create_directories(sim.Path("Present"));
  std::filesystem::create_directories(sim.Path("Sub") + kPathSeparator + "Deeper");
  WriteRaw(sim.Path("file"), "");
  FolderProbe probe(sim.Path());
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(probe.EntryExists("Gone " + std::to_string(i)));
  EXPECT_TRUE(probe.EntryExists("Present"));
  EXPECT_TRUE(probe.EntryExists(Text("Sub") + kPathSeparator + "Deeper" + kPathSeparator));
  EXPECT_TRUE(probe.EntryExists(sim.Path("Sub")));
  EXPECT_FALSE(probe.EntryExists("file"));
}

}  // namespace
