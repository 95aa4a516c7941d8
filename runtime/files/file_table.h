// Internal operations of the file layer shared between its sources.
#pragma once

#include "runtime/files/files.h"

// Table operations, each under the table lock for its own walk or relink.
void insert_file(file_record* record);   // at the head; the table owns it from now on
void remove_file(file_record* record);   // unlinks it; the caller owns it again
file_record* newest_file();              // the head, or null

// A zeroed record with `record_length` bytes of buffer behind it, or null.
file_record* new_file_record(int32_t record_length);
// Frees the name and the record (the handle is the caller's business).
void free_file_record(file_record* record);

// Positions the file; the new offset is given in *offset.  0 or a run-time number.
uint32_t seek_file(file_record* record, int64_t distance, DWORD method, uint64_t* offset);

inline bool is_wide_text(const file_record* record)
{
    return (record->access & FILE_ACCESS_WIDE) != 0;
}

// Reads record_length bytes into the buffer at the current file position;
// the count goes to `fill` (whole units for a wide-text file).  0 or a
// run-time number (fill is then 0).
uint32_t read_record(file_record* record);
