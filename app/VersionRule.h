#pragma once
// The target-version rule of the version page, shared by the wizard and the headless front end.
// isValidVersion accepts a text of at most ten characters with exactly two dots: one to three
// digits before the first, one or two digits between them, and digits (possibly none) after
// the second. Blanks or any other character make the text invalid.

#include <string>

// The message shown when a version does not pass the rule.
inline constexpr const char* kInvalidVersionMessage =
    "Invalid Firmware Version entered.\n\nPlease enter a version in the form \"xxx.xx.xxx\".\n"
    "For example: 2.0.10";

bool isValidVersion(const std::string& text);
