// Free-form (list-directed) lines: console output in gfortran's list-directed layout, and
// list-directed reading of numbers from a text or from keyboard lines.
//
// Output: a line starts with one blank (a line without items is empty, as gfortran's bare
// `print *` writes it); texts are written as they stand (a text that follows a
// number gets one separating blank, as gfortran writes it); a 32-bit integer takes 12 columns
// right-justified (11 after the blank that separates it); reals are written as gfortran writes
// them (0.2f as "  0.200000003    ", 64-bit reals with 17 significant digits).
//
// Input follows gfortran's list-directed read: values separated by blanks (blank, tab or carriage
// return) or commas; an empty value between two commas leaves its variable unchanged; "r*c"
// stands for r copies of c and "r*" for r empty values (r from 1 to 200000000); "/" ends the
// input and leaves the remaining variables unchanged. Integers accept an optional sign and
// digits; reals also a decimal point and an exponent (E, D, Q, or just its sign), but never NaN
// or Infinity, nor a value too large for the variable (one too small reads as zero). A value
// that cannot be read is an error. Semicolons are not separators: the language makes them one only
// in decimal-comma mode, although gfortran 12 takes them in this one too.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "common/layout.hpp"

namespace quillet {

// Builds one free-form line: FreeLine() << "Error code was " << code; then .str().
class FreeLine {
 public:
  FreeLine& operator<<(std::string_view text);
  FreeLine& operator<<(const char* text) { return *this << std::string_view(text); }
  FreeLine& operator<<(const std::string& text) { return *this << std::string_view(text); }
  // A single character is a one-character text (not a number, as char's promotion would make it).
  FreeLine& operator<<(char c) { return *this << std::string_view(&c, 1); }
  FreeLine& operator<<(std::int32_t value);
  FreeLine& operator<<(float value);
  FreeLine& operator<<(double value);
  const std::string& str() const { return line_; }

 private:
  std::string line_;
  bool last_was_text_ = false;
};

enum class FreeReadStatus {
  Ok,          // every variable got a value, or a "/" ended the input
  EndOfInput,  // the text (or the keyboard) ran out before every variable was read
  BadValue,    // a value could not be read as its variable's kind
};

struct FreeReadResult {
  FreeReadStatus status = FreeReadStatus::Ok;
  int assigned = 0;  // number of variables that received a value
};

// Reads the variables from one text (an internal read: the text is all there is). Only
// In::Kind::Int, Real32 and Real64 variables are allowed.
FreeReadResult read_free(std::string_view text, std::initializer_list<In> targets);

// What a text that should hold exactly one value holds.
enum class OneValue {
  Read,    // one finite number, perhaps followed by "/": it was stored
  None,    // a lone empty value, or a "/" first: the variable keeps its value
  Blank,   // nothing but blanks (from the keyboard: the reply is still to come)
  NotOne,  // anything else: a second value, a text, a number that is not finite
};

// Reads one 32-bit real from `text`, storing it only when the text holds exactly that value.
[[nodiscard]] OneValue read_one_value(std::string_view text, float& value);

// Source of further lines for a read that spans lines (the keyboard). Returns false at the end of
// input. The carriage return of a Windows line end is already removed by the source.
class LineSource {
 public:
  virtual ~LineSource() = default;
  virtual bool next_line(std::string& line) = 0;
};

// Reads the variables from as many lines of `source` as needed: an empty line gives no value and
// the read goes on with the next line, as a Fortran list-directed read from the keyboard does.
FreeReadResult read_free(LineSource& source, std::initializer_list<In> targets);

}  // namespace quillet
