// Standard output as the tool wants it: bytes exactly as written, so that a
// written document on Windows keeps its "\n" line ends.
#pragma once

namespace vtkit {
namespace platform {

void useBinaryStandardOutput();

} // namespace platform
} // namespace vtkit
