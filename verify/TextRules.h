#pragma once
// TextRules: the handful of text operations with which the replies of the module's console are
// taken apart. They are total: a position of -1 (a label that is not there) or one past the end
// gives a defined text, never an error, so a reply that lacks its label is read in a fixed way.
//  - find(s, t): position of the first occurrence of t in s, -1 when absent (case-sensitive);
//  - from(s, p): s from position p to its end; p below 0 counts as 0; p at or past the end: "";
//  - first(s, n): the first n characters; n below 0: ""; n at or past the length: all of s;
//  - trimLeft(s): s without leading white space (space, tab, CR, LF, VT, FF);
//  - number(s): the leading decimal number as atoi reads it (white space, optional sign,
//    digits up to the first non-digit; 0 without digits), except that a value beyond the int
//    range is held at INT_MAX or INT_MIN instead of being undefined.

#include <cstdint>
#include <string>

namespace textrules {

std::int64_t find(const std::string& s, const std::string& t);
std::string from(const std::string& s, std::int64_t p);
std::string first(const std::string& s, std::int64_t n);
std::string trimLeft(const std::string& s);
int number(const std::string& s);

}  // namespace textrules
