// Writes synthetic scenery libraries for the whole-process benchmark and the hostile tests.
//   make_library areas N FILE      a general section, then N realistic areas (CR LF line ends)
//   make_library titles BYTES FILE "Title=" repeated; with the title it prints, every
//                                  position almost matches and none does
//   make_library headers N FILE    N densely packed area headers, and one layer entry
//   make_library layers N FILE     one area header and N layer entries
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string AreaNumber(long n) {
  std::string digits = std::to_string(n);
  return digits.size() < 3 ? std::string(3 - digits.size(), '0') + digits : digits;
}

// Titles and folders of realistic length; every seventh area carries extra keys, and the
// active flag and key spellings vary as they do in libraries edited by hand.
std::string Areas(long count) {
  std::string text =
      "[General]\r\nTitle=Scenery Library\r\nDescription=Generated for benchmarking\r\n"
      "Clean_on_Exit=TRUE\r\n\r\n";
  text.reserve(count * 150 + text.size());
  for (long i = 1; i <= count; ++i) {
    std::string n = std::to_string(i);
    text += "[Area." + AreaNumber(i) + "]\r\n";
    text += "Title=Generated Scenery Region " + n + "\r\n";
    text += (i % 5 ? "Local=" : "local=");
    text += "D:\\Sim Addons\\Generated Scenery Pack " + n + "\\Scenery\r\n";
    text += "Layer=" + n + "\r\n";
    text += (i % 11 ? "Active=TRUE\r\n" : "Active=FALSE\r\n");
    text += "Required=FALSE\r\n";
    if (i % 7 == 0)
      text += "Texture_ID=" + n + "\r\nExclude=FALSE\r\n";
    text += "\r\n";
  }
  return text;
}

bool WriteFile(const char* path, const std::string& text) {
  FILE* f = std::fopen(path, "wb");
  if (!f)
    return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_library areas|titles|headers|layers N FILE\n");
    return 2;
  }
  const std::string kind = argv[1];
  const long n = std::atol(argv[2]);
  std::string text;
  if (kind == "areas") {
    text = Areas(n);
  } else if (kind == "titles") {
    std::string unit = "Title=";
    while (text.size() + unit.size() <= static_cast<size_t>(n))
      text += unit;
    text += "\r\n[Area.001]\r\nLayer=1\r\n";
    std::string title;
    while (title.size() + 2 * unit.size() < 20000)
      title += unit;
    std::printf("%sX\n", title.substr(unit.size()).c_str());  // the near-miss product title
  } else if (kind == "headers") {
    text = "Layer=1\r\n";
    for (long i = 1; i <= n; ++i)
      text += "[Area." + std::to_string(i) + "]";
  } else if (kind == "layers") {
    text = "[Area.001]\r\n";
    for (long i = 1; i <= n; ++i)
      text += "Layer=" + std::to_string(i) + "\r\n";
  } else {
    std::fprintf(stderr, "unknown kind: %s\n", argv[1]);
    return 2;
  }
  return WriteFile(argv[3], text) ? 0 : 1;
}
