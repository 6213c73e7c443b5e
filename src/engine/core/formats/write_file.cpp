#include "write_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qova::engine {

namespace {

// ".NAME.qova-XXXXXX" beside the target. For names near the file system's
// limit the copy of NAME is shortened (at a character boundary), so that
// every name that can exist can also be written.
std::string temporaryName(const std::filesystem::path& dir, const std::string& name) {
    static const std::string suffix = ".qova-XXXXXX";
    long max = pathconf(dir.c_str(), _PC_NAME_MAX);
    if (max <= 0) max = 255;
    size_t keep = name.size();
    const size_t room = size_t(max) > suffix.size() + 1 ? size_t(max) - suffix.size() - 1 : 0;
    if (keep > room) {
        keep = room;
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;  // UTF-8 continuation
    }
    return "." + name.substr(0, keep) + suffix;
}

}  // namespace

bool mayReplace(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return true;  // nothing there yet
    if (::access(path.c_str(), W_OK) != 0) return false;
    // A file nobody may write is protected, for the superuser too (who
    // passes every permission check): as with rm, that says "keep me".
    return S_ISREG(st.st_mode) ? (st.st_mode & 0222) != 0 : true;
}

int16_t replaceFile(const std::string& path, const std::function<int16_t(const std::string& tmp)>& write) {
    namespace fs = std::filesystem;
    fs::path target(path);
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        fs::path real = fs::canonical(target, ec);
        if (!ec) target = std::move(real);
    }
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!mayReplace(target.string())) return kErrCannotOpen;
    ignoreFileSizeSignal();
    std::string tmpl = (dir / temporaryName(dir, target.filename().string())).string();
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return kErrWrite;
    close(fd);
    const std::string tmp(name.data());
    int16_t code;
    try {
        code = write(tmp);
    } catch (const std::bad_alloc&) {
        code = kErrNoMemory;
    } catch (...) {
        code = kErrWrite;
    }
    if (code == kOk) {
        // Keep an existing file's permissions; a new file gets the usual ones.
        struct stat st {};
        mode_t mode = 0666;
        if (::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
        else { const mode_t um = umask(0); umask(um); mode &= ~um; }
        chmod(tmp.c_str(), mode);
        const int fdw = ::open(tmp.c_str(), O_RDONLY | O_CLOEXEC);
        if (fdw < 0) code = kErrWrite;
        else { if (fsync(fdw) != 0) code = kErrWrite; close(fdw); }
        if (code == kOk && std::rename(tmp.c_str(), target.c_str()) != 0) code = kErrWrite;
    }
    if (code != kOk) ::unlink(tmp.c_str());
    return code;
}

int16_t copyFileReplacing(const std::string& source, const std::string& target) {
    return replaceFile(target, [&](const std::string& tmp) {
        std::error_code ec;
        std::filesystem::copy_file(source, tmp, std::filesystem::copy_options::overwrite_existing, ec);
        return ec ? int16_t(kErrWrite) : int16_t(kOk);
    });
}

}  // namespace qova::engine
