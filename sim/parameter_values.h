// The numbers of a parameter-file value, read and written like "%f" and "%d" but independent of the
// process's locale, so a file written under one locale reads back under any other.
#pragma once

#include <cstddef>

// Reads up to count numbers separated by white space, as sscanf with "%f %f ..." would: leading
// blanks skipped, anything after the last number ignored. Every number that is missing, not a
// number, infinite or beyond the float range comes out as 0, which the format reads as "not given".
// Returns how many numbers were found in the text.
int read_reals(const char* text, float* values, int count);

// The same with "%d": a number beyond the int range comes out as 0.
int read_integers(const char* text, int* values, int count);

// Appends value as "%f" writes it (fixed point, six digits after the point) at position length of
// text, which holds size characters; returns the new length. Text that would not fit is left off,
// and text stays terminated.
std::size_t append_real(char* text, std::size_t size, std::size_t length, double value);
