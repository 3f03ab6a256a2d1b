// How vtkit speaks on standard error: every message is one line, "vtkit: " and
// the reason, with any control character in it shown as an escape, written
// whole (one write under a lock) however many threads report at once.
#pragma once

#include <string>

namespace vtkit {

// `text` appended to `out` with control characters as C escapes ("\n", "\x01");
// backslashes doubled too when `backslashes` is set, so that no escape can be
// told from text that looks like one.
void appendVisible(std::string& out, const std::string& text, bool backslashes);

// Writes "vtkit: " + `reason` as one line to standard error.
void printMessage(const std::string& reason);

} // namespace vtkit
