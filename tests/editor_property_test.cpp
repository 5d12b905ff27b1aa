// Edits of generated libraries checked against what the generator knows about them.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "library_edit.h"

namespace {

// A library built from parts, so that the expected result of an edit can be put together
// from the parts instead of being computed by the code under test.
struct GeneratedLibrary {
  Text preamble;                // byte-order mark and sections that are not areas
  std::vector<Text> sections;   // area sections, each from its "[" to the next one's
  std::vector<Text> folders;    // the folder written in each section
  std::vector<Text> titles;     // the title written in each section
  int highest_area = 0;
  int highest_layer = 0;

  Text Joined() const {
    Text all = preamble;
    for (const Text& s : sections)
      all += s;
    return all;
  }
};

class Generator {
 public:
  explicit Generator(uint32_t seed) : random_(seed) {}

  GeneratedLibrary Library() {
    GeneratedLibrary library;
    line_end_style_ = Below(3);  // CR LF, bare LF or mixed
    if (Below(4) == 0)
      library.preamble += "\xEF\xBB\xBF";
    if (Below(2) == 0)
      library.preamble += Line("[General]") + Line("Title=Library") + Line("Local=Scenery") +
                          Line("Clean_on_Exit=TRUE") + Line("");
    const bool with_layers = Below(10) != 0;
    const int count = Below(12);
    // Names drawn in random order, so that a name often comes after a longer one it begins
    // ("Area 1" after "Area 12"), and the product added by the tests has such a neighbour.
    std::vector<Text> names;
    for (int id = 0; id < 30; ++id)
      names.push_back("Area " + std::to_string(id));
    names.push_back("Product2");
    std::shuffle(names.begin(), names.end(), random_);
    for (int i = 0; i < count; ++i) {
      int area = Below(8) == 0 ? 0 : 1 + Below(999);  // gaps, repeats and unnumbered areas
      int layer = 1 + Below(400);
      Text folder = "D:\\Gen\\" + names[i];
      Text title = "Scenery " + names[i];
      if (names[i] == "Product2") {
        folder = "E:\\New\\Product2";
        title = "Product X2";
      }
      Text number = std::to_string(area);
      number.insert(0, Below(3), '0');
      Text section = Line(Pick({"[Area.", "[AREA.", "[area."}) + number + "]");
      section += Line(Pick({"Title=", "TITLE=", "title="}) + title);
      if (Below(3) == 0)
        section += Line("Texture_ID=" + std::to_string(Below(50)));
      section += Line(Pick({"Local=", "local=", "LOCAL="}) +
                      (Below(4) == 0 ? Upper(folder) : folder) + Pick({"", "\\", "  ", "\t"}));
      section += Line(Pick({"Active=TRUE", "Active=FALSE"}));
      if (with_layers)
        section += Line(Pick({"Layer=", "LAYER=", "layer="}) + std::to_string(layer));
      if (Below(3) == 0)
        section += Line("Required=FALSE");
      for (int blank = Below(3); blank > 0; --blank)
        section += Line("");
      library.sections.push_back(section);
      library.folders.push_back(folder);
      library.titles.push_back(title);
      library.highest_area = std::max(library.highest_area, area);
      if (with_layers)
        library.highest_layer = std::max(library.highest_layer, layer);
    }
    // The file may end without a line end.
    if (!library.sections.empty() && Below(4) == 0) {
      Text& last = library.sections.back();
      while (!last.empty() && (last.back() == '\n' || last.back() == '\r'))
        last.pop_back();
    }
    return library;
  }

  int Below(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }

 private:
  Text Line(const Text& text) {
    int style = line_end_style_ == 2 ? Below(2) : line_end_style_;
    return text + (style == 0 ? "\r\n" : "\n");
  }
  Text Pick(std::initializer_list<const char*> choices) {
    return *(choices.begin() + Below(static_cast<int>(choices.size())));
  }
  static Text Upper(Text t) {
    for (char& c : t)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return t;
  }

  std::mt19937 random_;
  int line_end_style_ = 0;
};

Text Padded(int n) { return (n < 10 ? "00" : n < 100 ? "0" : "") + std::to_string(n); }

constexpr int kLibraries = 600;

TEST(EditProperties, AddThenRemoveGivesBackTheLibraryPlusTheSeam) {
  Generator generator(20261206);
  const ProductDetails add{"C:\\Sim", "ADD", "E:\\New\\Product", "Product X"};
  const ProductDetails remove{"C:\\Sim", "REMOVE", "E:\\New\\Product", "Product X"};
  for (int i = 0; i < kLibraries; ++i) {
    const GeneratedLibrary library = generator.Library();
    const Text original = library.Joined();
    LibraryEdit added = EditLibraryText(original, add, i % 2 == 0);
    if (library.highest_area == 0 || library.highest_layer == 0) {
      EXPECT_TRUE(added.skipped) << original;
      EXPECT_EQ(added.library_text, original);
      EXPECT_EQ(added.result_text, "");
      continue;
    }
    const Text area = std::to_string(library.highest_area + 1);
    const Text layer = std::to_string(library.highest_layer + 1);
    ASSERT_EQ(added.library_text,
              original + "\r\n[Area." + Padded(library.highest_area + 1) +
                  "]\r\nTitle=Product X\r\nlocal=E:\\New\\Product\r\nActive=TRUE\r\nLayer=" +
                  layer + "\r\n\r\n")
        << original;
    const Text report_head = "Scenery AREA added:\r\n\r\nAREA=" + area + "\r\n";
    EXPECT_EQ(added.result_text.substr(0, report_head.size()), report_head);

    LibraryEdit removed = EditLibraryText(added.library_text, remove, false);
    EXPECT_EQ(removed.library_text, original + "\r\n\r\n") << original;
  }
}

TEST(EditProperties, RemoveCutsExactlyTheProductsSection) {
  Generator generator(7);
  for (int i = 0; i < kLibraries; ++i) {
    const GeneratedLibrary library = generator.Library();
    if (library.sections.empty())
      continue;
    const size_t k = generator.Below(static_cast<int>(library.sections.size()));
    const ProductDetails remove{"C:\\Sim", i % 2 ? "remove" : "REMOVE", library.folders[k],
                                "Another Title"};
    const Text original = library.Joined();
    LibraryEdit edit = EditLibraryText(original, remove, true);
    EXPECT_EQ(edit.result_text, "");
    EXPECT_EQ(edit.caution_text, "");
    if (library.highest_area == 0 || library.highest_layer == 0) {
      EXPECT_EQ(edit.library_text, original);
      continue;
    }
    Text expected = library.preamble;
    for (size_t j = 0; j < k; ++j)
      expected += library.sections[j];
    expected += "\r\n";
    for (size_t j = k + 1; j < library.sections.size(); ++j)
      expected += library.sections[j];
    ASSERT_EQ(edit.library_text, expected) << "section " << k << " of\n" << original;
  }
}

TEST(EditProperties, AddOfARegisteredProductChangesNothing) {
  Generator generator(99);
  for (int i = 0; i < kLibraries; ++i) {
    const GeneratedLibrary library = generator.Library();
    if (library.sections.empty())
      continue;
    const size_t k = generator.Below(static_cast<int>(library.sections.size()));
    const Text original = library.Joined();
    LibraryEdit edit = EditLibraryText(
        original, ProductDetails{"C:\\Sim", "ADD", library.folders[k], library.titles[k]},
        true);
    EXPECT_EQ(edit.conflict_state, ConflictState::FolderListed);
    EXPECT_EQ(edit.library_text, original);
    EXPECT_EQ(edit.caution_text, "");
    EXPECT_EQ(edit.result_text, "");
  }
}

}  // namespace
