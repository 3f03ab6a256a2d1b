#include "InputFile.h"

#include "Commands.h"
#include "platform/Streams.h"
#include "vtsupport/files/FileUtils.h"

namespace vtkit {

namespace {

const int standardInput = 0;

} // namespace

InputFile::InputFile(const std::string& path)
    : name_(path == "-" ? "<stdin>" : path), descriptor_(standardInput), buffer_(64 * 1024),
      stream_(this) {
    setg(buffer_.data(), buffer_.data(), buffer_.data());
    if (path == "-")
        return;
    // Some systems open a directory and fail only at the first read, others
    // refuse to open it, each with a reason of its own: one message for both.
    if (FileUtils::isDirectory(path))
        throw Failure(kInput, path + " is a directory");
    std::string error;
    descriptor_ = platform::openForReading(path, error);
    if (descriptor_ < 0)
        throw Failure(kInput, "cannot open " + path + ": " + error);
}

InputFile::~InputFile() {
    if (descriptor_ != standardInput)
        platform::closeDescriptor(descriptor_);
}

void InputFile::checkComplete() const {
    if (!error_.empty())
        throw Failure(kInput, "cannot read " + name_ + ": " + error_);
}

InputFile::int_type InputFile::underflow() {
    // Once ended, stays ended: a terminal would otherwise be read again.
    if (ended_)
        return traits_type::eof();
    const long count = platform::readSome(descriptor_, buffer_.data(), buffer_.size(), error_);
    if (count <= 0) {
        ended_ = true;
        return traits_type::eof();
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data() + count);
    return traits_type::to_int_type(buffer_[0]);
}

} // namespace vtkit
