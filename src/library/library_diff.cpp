#include "library_diff.h"

#include <algorithm>

namespace {

constexpr int kContextLines = 3;

// The text after the replace, read in place from its three pieces.
class Replaced {
 public:
  Replaced(std::string_view before, size_t from, size_t to, std::string_view inserted)
      : pieces_{before.substr(0, from), inserted, before.substr(to)} {}

  size_t size() const { return pieces_[0].size() + pieces_[1].size() + pieces_[2].size(); }

  char operator[](size_t i) const {
    for (std::string_view piece : pieces_) {
      if (i < piece.size()) return piece[i];
      i -= piece.size();
    }
    return 0;
  }

  // Bytes [begin, end) as one text.
  Text Slice(size_t begin, size_t end) const {
    Text slice;
    size_t start = 0;
    for (std::string_view piece : pieces_) {
      const size_t b = std::clamp(begin, start, start + piece.size());
      const size_t e = std::clamp(end, start, start + piece.size());
      slice.append(piece.substr(b - start, e - b));
      start += piece.size();
    }
    return slice;
  }

 private:
  std::string_view pieces_[3];
};

// Appends the lines of text, each behind mark; a last line without LF is followed by LF and
// diff's note. Returns how many lines there were.
int AppendLines(std::string_view text, char mark, Text* out) {
  int lines = 0;
  for (size_t at = 0; at < text.size(); ++lines) {
    const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
    out->push_back(mark);
    out->append(text.substr(at, end - at));
    if (text[end - 1] != '\n') out->append("\n\\ No newline at end of file\n");
    at = end;
  }
  return lines;
}

// "-" or "+", then where a side's lines begin and how many, as diff numbers them: a side with
// no line names the line before the place.
Text Range(char side, int first, int count) {
  if (count == 1) return Text(1, side) + NumberToText(first);
  return Text(1, side) + NumberToText(count == 0 ? first - 1 : first) + "," + NumberToText(count);
}

}  // namespace

Text UnifiedDiff(std::string_view before, size_t from, size_t to, std::string_view inserted,
                 const Text& old_name, const Text& new_name) {
  const Replaced after(before, from, to, inserted);
  const size_t old_size = before.size(), new_size = after.size();

  // The bytes both share at their start, cut back to a line's start.
  size_t head = from;
  while (head < old_size && head < new_size && before[head] == after[head]) ++head;
  if (head == old_size && head == new_size) return Text();
  head = head == 0 ? 0 : before.rfind('\n', head - 1) + 1;  // npos + 1 is 0

  // The bytes both share at their end, short of the head, moved on to a line's start in both.
  const size_t most = std::min(old_size, new_size) - head;
  size_t tail = std::min(old_size - to, most);  // after's own end is before's from to on
  while (tail < most && before[old_size - 1 - tail] == after[new_size - 1 - tail]) ++tail;
  const auto line_start = [](auto& text, size_t at) { return at == 0 || text[at - 1] == '\n'; };
  if (!line_start(before, old_size - tail) || !line_start(after, new_size - tail)) {
    const size_t next = before.find('\n', old_size - tail);
    tail = next == std::string_view::npos ? 0 : old_size - next - 1;
  }

  // Up to three shared lines on either side of the change.
  const int head_lines = static_cast<int>(std::count(before.begin(), before.begin() + head, '\n'));
  size_t context_start = head;
  for (int i = 0; i < kContextLines && context_start > 0; ++i)
    context_start = context_start == 1 ? 0 : before.rfind('\n', context_start - 2) + 1;
  size_t context_end = old_size - tail;
  for (int i = 0; i < kContextLines && context_end < old_size; ++i)
    context_end = std::min(before.find('\n', context_end), old_size - 1) + 1;

  Text body;
  const int leading = AppendLines(before.substr(context_start, head - context_start), ' ', &body);
  const int removed = AppendLines(before.substr(head, old_size - tail - head), '-', &body);
  const int added = AppendLines(after.Slice(head, new_size - tail), '+', &body);
  const int trailing =
      AppendLines(before.substr(old_size - tail, context_end - (old_size - tail)), ' ', &body);
  const int first = head_lines - leading + 1;
  return "--- " + old_name + "\n+++ " + new_name + "\n@@ " +
         Range('-', first, leading + removed + trailing) + " " +
         Range('+', first, leading + added + trailing) + " @@\n" + body;
}
