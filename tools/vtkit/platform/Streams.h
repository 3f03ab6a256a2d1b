// The tool's input and standard streams at the level of the C runtime's small
// descriptor numbers (the same on both systems), so that every failure keeps the
// system's reason and nothing is mistaken for the end of the input.
#pragma once

#include <cstddef>
#include <string>

namespace vtkit {
namespace platform {

// Makes the standard streams fit for checked, byte-exact use: binary mode, and
// a closed pipe or a file over the size limit an error rather than a signal. A
// standard descriptor that is closed at start is opened on the null device, so
// that nothing opened later (a listener, a connection) takes its number; it is
// opened the other way round (standard input for writing, the outputs for
// reading), so that using it still fails as a closed one does.
void prepareStandardStreams();

// A descriptor for reading `path`; -1 and `error` when it cannot be opened.
int openForReading(const std::string& path, std::string& error);
// Bytes read into `buffer`, 0 at the end, -1 and `error` on failure.
long readSome(int descriptor, char* buffer, std::size_t size, std::string& error);
// Bytes written from `data` (at least 1), or -1 and `error` on failure.
long writeSome(int descriptor, const char* data, std::size_t size, std::string& error);
void closeDescriptor(int descriptor);

} // namespace platform
} // namespace vtkit
