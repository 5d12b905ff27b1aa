#pragma once
// What the Windows file primitives need of the mapping.

// Closes the live mapping, whose bytes are gone after: a rename cannot replace a file that a
// view shows.
void CloseMappingForRename();
