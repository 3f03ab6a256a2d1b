#include "../Console.h"

namespace vtkit {
namespace platform {

// POSIX streams make no difference between text and binary.
void useBinaryStandardOutput() {}

} // namespace platform
} // namespace vtkit
