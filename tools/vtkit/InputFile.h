// FILE, or standard input for "-", as a stream read through a buffer of the
// tool's own that keeps the first read error with its reason; a plain stream
// would take the error for the end of the input. Failures are Failure(kInput):
// opening at construction, reading at checkComplete().
#pragma once

#include <istream>
#include <streambuf>
#include <string>
#include <vector>

namespace vtkit {

class InputFile : private std::streambuf {
public:
    explicit InputFile(const std::string& path);
    ~InputFile() override;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::istream& stream() { return stream_; }
    // The path, or "<stdin>".
    const std::string& name() const { return name_; }
    // Throws when reading stopped at an error rather than at the end.
    void checkComplete() const;

private:
    int_type underflow() override;

    std::string name_;
    int descriptor_;
    std::vector<char> buffer_;
    std::string error_;
    bool ended_ = false;
    std::istream stream_;
};

} // namespace vtkit
