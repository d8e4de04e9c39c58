// Texts and byte buffers as the program handles them: byte strings in the ANSI code page (GBK).
// Every narrow string literal of this project is compiled to GBK (-fexec-charset=GB18030).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel {

// A text never holds a zero byte; its length counts bytes, not characters.
using Text = std::string;
// Raw bytes as they come from a file or the network; may hold zero bytes.
using Bytes = std::vector<char>;

// The bytes up to, not including, the first zero byte.
Text bytesToText(const Bytes& bytes);
// The bytes of the text, without a terminating zero.
Bytes textToBytes(const Text& text);

// Byte-wise, case-sensitive search for key in text, starting at from. A byte of 0x80 or above
// starts a two-byte character, so a match never starts on its second byte, and such a lead byte
// at the very end stops the search. Returns Text::npos when key is not found.
std::size_t findText(const Text& text, const Text& key, std::size_t from = 0);

}  // namespace quorvel
