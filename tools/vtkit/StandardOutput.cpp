#include "StandardOutput.h"

#include <iostream>

#include "Commands.h"
#include "Messages.h"
#include "platform/Streams.h"

namespace vtkit {

namespace {

const int standardOutput = 1;

} // namespace

StandardOutput::StandardOutput() : buffer_(64 * 1024) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    previous_ = std::cout.rdbuf(this);
}

StandardOutput::~StandardOutput() {
    std::cout.rdbuf(previous_);
}

int StandardOutput::finish(int status) {
    pubsync();
    if (error_.empty())
        return status;
    printMessage("cannot write standard output: " + error_);
    return kOutput;
}

bool StandardOutput::write(const char* data, std::size_t size) {
    while (error_.empty() && size > 0) {
        const long count = platform::writeSome(standardOutput, data, size, error_);
        if (count > 0) {
            data += count;
            size -= static_cast<std::size_t>(count);
        }
    }
    return error_.empty();
}

int StandardOutput::sync() {
    const std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return write(buffer_.data(), pending) ? 0 : -1;
}

StandardOutput::int_type StandardOutput::overflow(int_type c) {
    if (sync() != 0)
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof()))
        sputc(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
}

} // namespace vtkit
