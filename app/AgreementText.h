#pragma once
// The licence agreement that the operator accepts before the utility does anything: sixteen
// blocks of plain text, shown joined in order with nothing between them. Block 1 opens with the
// "IMPORTANT:" heading; every later block begins with "\n\n", so paragraphs are separated by
// one blank line. Headings are upper case, followed by a colon and two blanks, with their
// paragraph on the same line. Lines break with "\n" only; there are no tabs.
// Used by the agreement dialog and by the headless front end.

#include <array>
#include <string>

inline constexpr std::size_t kAgreementBlockCount = 16;

// The sixteen blocks, in order.
const std::array<std::string, kAgreementBlockCount>& agreementBlocks();

// The blocks joined, as the agreement control shows them.
std::string agreementText();
