// The writers of one Fw.d field, exposed so that tests and the fuzz target can hold the fast ones
// to the general one: the writer of floats (a float times 10^d rounded in double arithmetic) and
// the writer of doubles below 2^31 (one 128-bit product) must write exactly what the general
// writer, which rounds any double from its exact binary value, writes for the same value.
// Internal to common.
#pragma once

namespace quillet::detail {

// Each writes the field's w columns at `field`, which the caller has blanked.
void write_fixed_float(char* field, unsigned w, unsigned d, float value);
void write_fixed_double(char* field, unsigned w, unsigned d, double value);
void write_fixed_general(char* field, unsigned w, unsigned d, double value);

}  // namespace quillet::detail
