// The support's former names, as the end-to-end test of the tool still uses them.
#pragma once

#include "support/Support.h"

namespace vttest {

inline void setEnv(const std::string& name, const std::string& value) {
    setEnv(name, value.c_str());
}
inline void unsetEnv(const std::string& name) {
    setEnv(name, nullptr);
}
inline std::string readWholeFile(const std::string& path) {
    return readBytes(path);
}

} // namespace vttest
