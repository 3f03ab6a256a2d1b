// Standard output through a buffer of the tool's own: bytes go out exactly as
// written, in large writes, and the first failure (a full device, a closed
// pipe, a closed descriptor) is kept with its reason. Output after a failure is
// dropped and std::cout reports it (its state turns bad), so commands stop
// producing. While an object exists, std::cout writes through it.
#pragma once

#include <streambuf>
#include <string>
#include <vector>

namespace vtkit {

class StandardOutput : public std::streambuf {
public:
    StandardOutput();
    ~StandardOutput() override;
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;

    // Flushes; when the output failed, says why on standard error and answers
    // kOutput, whatever the command's `status` was, else `status`.
    int finish(int status);

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool write(const char* data, std::size_t size);

    std::vector<char> buffer_;
    std::string error_;
    std::streambuf* previous_;
};

} // namespace vtkit
