// Library-internal: what the tokenizer's source files share about characters,
// so that the full scan and its shortcuts classify every character alike.
#pragma once

namespace SimpleDOM {

// The class bits of StreamTokenizer's character table (see updateCharFlags);
// a character with none of them is a word character.
enum CharClassBit : unsigned char { kSpace = 1, kQuote = 2, kOrdinary = 4 };

// Blank, tab, line feed and carriage return: whitespace in every locale,
// whatever the tokenizer's own sets hold.
inline bool isBlank(int the_char) {
    return the_char == ' ' || the_char == '\t' || the_char == '\n' || the_char == '\r';
}

} // namespace SimpleDOM
