// Writing files so that a failure never damages what was there: the one
// "write beside, then rename" rule of the engine's save and the program's
// file copies, and a whole-file write for encoders that build the file in
// memory first.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "../codes.h"

namespace qova::engine {

// False when `path` names a file the user may not write (no permission, or
// no write bit at all): replacing it by a rename would get round that.
bool mayReplace(const std::string& path);

// Replaces `target` with the file `write` makes at the temporary path it is
// given (beside the target, so the rename stays on one file system). Only
// when `write` returns kOk is the new file given the old one's permissions
// (the usual ones for a new file), flushed to disk and renamed over the
// target; otherwise it is removed and the target is left as it was. A
// symbolic link is followed: the file it names is the one replaced.
// Returns `write`'s code, kErrCannotOpen for a target the user may not
// write (mayReplace), or kErrWrite when the temporary file cannot be made,
// flushed or renamed.
int16_t replaceFile(const std::string& target, const std::function<int16_t(const std::string& tmp)>& write);

// `source`'s bytes written over `target` by replaceFile().
int16_t copyFileReplacing(const std::string& source, const std::string& target);

// A write past the process's file size limit raises SIGXFSZ, which ends the
// program by default. Ignored, the write fails with EFBIG instead and the
// caller reports kErrWrite (and removes what it wrote). A handler someone
// else installed is left alone. Every writer calls this first.
inline void ignoreFileSizeSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction old {};
        if (sigaction(SIGXFSZ, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) std::signal(SIGXFSZ, SIG_IGN);
    });
}

inline int16_t writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    ignoreFileSizeSignal();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return kErrCannotOpen;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0 && ok) ? kOk : kErrWrite;
}

}  // namespace qova::engine
