#pragma once
// A read-only view of a whole file without a copy of it in the program's memory, where the
// platform can give one that another program's save cannot turn into a crash.

#include <cstddef>
#include <cstdint>

#include "byte_source.h"

// A mapping of an open file's first bytes, or nothing. Only one exists at a time; further
// ones stay empty and their callers read instead.
class FileMapping {
 public:
  FileMapping() = default;
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;
  ~FileMapping();

  // Maps the first size bytes of file (a descriptor or HANDLE); false, and nothing mapped,
  // where the platform, the file system or the file cannot. Until the mapping goes, the calling
  // thread and those it starts take the signal of a look past a cut (POSIX), whatever mask they
  // were given; the mask and the handler before come back with the mapping's end.
  bool Map(intptr_t file, size_t size);

  const char* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
};

// False once the live mapping's file was cut short under it and a look past the cut hit it:
// the mapping then reads zeros from there on, and nothing built from it may be saved.
bool MappingIntact();

// Copies the first bytes of [data, data + size) to the open file to inside the system, without
// passing them through the program's memory, where they lie in the live mapping and the file
// systems allow it: how many were copied, 0 when none were. The caller writes the rest.
size_t CopyFromMapping(intptr_t to, const char* data, size_t size);

// Copies the size bytes at data, inside the live mapping, to into through the system instead of
// reading them in place, which on this project's virtual machine cost five times as much for
// pages not yet looked at: false when they are not all in the mapping or the file.
bool CopyOutOfMapping(const char* data, size_t size, char* into);

// The live mapping as a source of copies, through CopyOutOfMapping: where nothing is mapped
// (Windows), the bytes are read in memory where they are.
class MappingCopies : public ByteSource {
 public:
  bool Copy(const char* data, size_t size, char* into) const override {
    return CopyOutOfMapping(data, size, into);
  }
};
