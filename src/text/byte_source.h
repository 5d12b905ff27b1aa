#pragma once
// Where a search over a large text may take copies of its stretches from instead of reading them
// in place: the text's own bytes stay where they are, and the copies come from whoever holds them.

#include <cstddef>

// A holder of a text's bytes that can copy stretches of it out.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies the size bytes at data, inside the text, to into; false when this source does not
  // hold them all, and the caller then reads them in place.
  virtual bool Copy(const char* data, size_t size, char* into) const = 0;
};
