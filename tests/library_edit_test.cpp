#include "library_edit.h"
#include "library_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

namespace {

// The library text after edit, written out.
Text Applied(const Text& library, const LibraryEdit& edit) {
  Text text;
  for (std::string_view piece : EditedLibrary(library, edit)) text += piece;
  return text;
}

// The library text after the edit of details.
Text Edited(const Text& library, const ProductDetails& details) {
  return Applied(library, EditLibraryText(library, details, false));
}

// Hits inside values and at the end of longer key names count as well; the largest number
// readable in 8 characters still adds safely.
TEST(EditLibraryText, NewNumbersAreOneAboveTheHighest) {
  // clang-format off
  const struct { Text library, header, layer; } cases[] = {
      {"[area.9]\r\nLayer=7\r\n", "[Area.010]", "8"},
      {"[Area.003]\r\nLayer=1\r\nTitle=old [area.41]\r\nBaseLayer=20\r\n", "[Area.042]", "21"},
      {"[Area.214748e4]\r\nLayer=1\r\n", "[Area.2147480001]", "2"},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(Edited(c.library, {"C:\\Sim", "ADD", "F", "T"}),
              c.library + "\r\n" + c.header +
                  "\r\nTitle=T\r\nlocal=F\r\nActive=TRUE\r\nLayer=" + c.layer + "\r\n\r\n");
  }
}

// A longer sibling folder is passed over, the section is found by folder whatever its title, and
// of two only the first goes, then the one with a trailing separator; a section is cut only while
// no longer than its guard, which grows with title and folder: 324 bytes for these.
TEST(EditLibraryText, RemoveCutsTheFirstWholeFolderMatchWithinItsGuard) {
  const auto section = [](const Text& number, const Text& title, const Text& folder, int span) {
    Text s = "[Area." + number + "]\r\nTitle=" + title + "\r\nlocal=" + folder + "\r\nLayer=1\r\n";
    return s + "Note=" + Text(span - s.size() - 9, 'x') + "\r\n\r\n";
  };
  const Text harbour2 = section("001", "Harbour Two", "D:\\Addons\\Harbour2", 100);
  const Text first = section("002", "Other Title", "D:\\Addons\\Harbour", 324);
  const Text trailing = section("003", "Harbour", "D:\\Addons\\Harbour\\", 325);
  const Text end = section("004", "End", "D:\\End", 100);
  const ProductDetails remove{"C:\\Sim", "REMOVE", "D:\\Addons\\Harbour", "Harbour"};
  Text library = harbour2 + first + trailing + end;
  library = Edited(library, remove);
  EXPECT_EQ(library, harbour2 + "\r\n" + trailing + end);
  EXPECT_EQ(Edited(library, remove), library);  // past the guard
  library = harbour2 + "\r\n" + section("003", "Harbour", "D:\\Addons\\Harbour\\", 324) + end;
  EXPECT_EQ(Edited(library, remove), harbour2 + "\r\n\r\n" + end);
}

// A library built from parts, so that the expected result of an edit is put together from the
// parts instead of being computed by the code under test.
struct GeneratedLibrary {
  Text preamble;                      // byte-order mark and sections that are not areas
  std::vector<Text> sections;         // area sections, each from its "[" to the next one's
  std::vector<Text> folders, titles;  // as written in each section
  int highest_area = 0, highest_layer = 0;

  // The whole text, with section k (if any) replaced by instead.
  Text Joined(size_t k = SIZE_MAX, const Text& instead = "") const {
    Text all = preamble;
    for (size_t j = 0; j < sections.size(); ++j) all += j == k ? instead : sections[j];
    return all;
  }
  bool Skipped() const { return highest_area == 0 || highest_layer == 0; }
};

GeneratedLibrary Generate(std::mt19937& random) {
  const auto below = [&](int n) { return static_cast<int>(random() % n); };
  const auto pick = [&](std::initializer_list<const char*> choices) {
    return Text(choices.begin()[below(static_cast<int>(choices.size()))]);
  };
  const int line_ends = below(3);  // CR LF, bare LF or mixed
  const auto line = [&](const Text& text) {
    return text + ((line_ends == 2 ? below(2) : line_ends) == 0 ? "\r\n" : "\n");
  };
  GeneratedLibrary library;
  if (below(4) == 0) library.preamble += "\xEF\xBB\xBF";
  if (below(2) == 0)
    library.preamble += line("[General]") + line("Title=Library") + line("Local=Sim") + line("");
  const bool with_layers = below(10) != 0;
  // Names in random order, so that a name often comes after a longer one it begins ("Area 1"
  // after "Area 12"), and the product added by the tests has such a neighbour.
  std::vector<Text> names = {"Product2"};
  for (int id = 0; id < 30; ++id) names.push_back("Area " + std::to_string(id));
  std::shuffle(names.begin(), names.end(), random);
  for (int i = below(12); i > 0; --i) {
    const Text& name = names[i];
    const int area = below(8) == 0 ? 0 : 1 + below(999);  // gaps, repeats, 0
    const int layer = 1 + below(400);
    const Text folder = name == "Product2" ? "E:\\New\\Product2" : "D:\\Gen\\" + name;
    const Text title = name == "Product2" ? "Product X2" : "Scenery " + name;
    Text section = line(pick({"[Area.", "[AREA.", "[area."}) + Text(below(3), '0') +
                        std::to_string(area) + "]");
    section += line(pick({"Title=", "TITLE=", "title="}) + title);
    if (below(3) == 0) section += line("Texture_ID=" + std::to_string(below(50)));
    section += line(pick({"Local=", "local=", "LOCAL="}) + (below(4) ? folder : UpperText(folder)) +
                    pick({"", "\\", "  ", "\t"}));
    section += line(pick({"Active=TRUE", "Active=FALSE"}));
    if (with_layers) section += line(pick({"Layer=", "LAYER=", "layer="}) + std::to_string(layer));
    for (int blank = below(3); blank > 0; --blank) section += line("");
    library.sections.push_back(section);
    library.folders.push_back(folder), library.titles.push_back(title);
    library.highest_area = std::max(library.highest_area, area);
    library.highest_layer = with_layers ? std::max(library.highest_layer, layer) : 0;
  }
  // The file may end without a line end.
  while (!library.sections.empty() && below(4) == 0 && library.sections.back().back() < ' ')
    library.sections.back().pop_back();
  return library;
}

// On each library: an ADD of a new product appends its section, numbered one above the
// highest, and REMOVE gives back the library plus the seam; a REMOVE by the folder of section
// k cuts exactly that section.
TEST(EditProperties, EditsOfGeneratedLibraries) {
  std::mt19937 random(20261206);
  for (int i = 0; i < 1500; ++i) {
    const GeneratedLibrary library = Generate(random);
    const Text original = library.Joined();
    const ProductDetails add{"C:\\Sim", i % 2 ? "ADD" : "add", "E:\\New\\Product", "Product X"};
    const LibraryEdit added = EditLibraryText(original, add, i % 2 == 0);
    const int area = library.highest_area + 1;
    const Text padded = (area < 10 ? "00" : area < 100 ? "0" : "") + std::to_string(area);
    ASSERT_EQ(Applied(original, added),
              library.Skipped()
                  ? original
                  : original + "\r\n[Area." + padded +
                        "]\r\nTitle=Product X\r\nlocal=E:\\New\\Product\r\nActive=TRUE\r\nLayer=" +
                        std::to_string(library.highest_layer + 1) + "\r\n\r\n")
        << original;
    ProductDetails remove{"C:\\Sim", i % 2 ? "remove" : "REMOVE", "E:\\New\\Product", "Product X"};
    if (!library.Skipped()) {
      EXPECT_EQ(Edited(Applied(original, added), remove), original + "\r\n\r\n");
    }
    if (library.sections.empty()) continue;

    const size_t k = random() % library.sections.size();
    remove.product_folder = library.folders[k];
    // Cut anywhere (each entry also twice), the walk finds the same; ended at the folder entry, the
    // same section and numbers. Every eighth library: Wine starts the walks' threads slowly.
    for (const Text& text : {original, original + original}) {
      if (i % 8 != 0) break;
      const Text& title = library.titles[k];
      const Text& folder = remove.product_folder;
      const LibraryScan whole = ScanLibraryInParts(text, title, folder, {1 << 30, 1});
      for (int parts = 2; parts <= 6; ++parts) {
        const size_t chunk = parts == 6 ? 5 + (i / 8) % 40 : text.size() / parts + 1;
        EXPECT_EQ(ScanLibraryInParts(text, title, folder, {chunk, 2}), whole)
            << chunk << " " << text;
        const LibraryScan until = ScanLibraryInParts(text, title, folder, {chunk, 2, true});
        EXPECT_EQ(std::make_tuple(until.folder_pos, until.section_start, until.section_end,
                                  until.highest_area > 0, until.highest_layer > 0),
                  std::make_tuple(whole.folder_pos, whole.section_start, whole.section_end,
                                  whole.highest_area > 0, whole.highest_layer > 0))
            << chunk << " " << text;
      }
    }
    const LibraryEdit removed = EditLibraryText(original, remove, true);
    EXPECT_EQ(removed.result_text + removed.caution_text, "");
    ASSERT_EQ(Applied(original, removed), library.Skipped() ? original : library.Joined(k, "\r\n"))
        << "section " << k << " of\n"
        << original;
  }
}

}  // namespace
