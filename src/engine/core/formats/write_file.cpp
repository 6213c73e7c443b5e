#include "write_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qova::engine {

int16_t replaceFile(const std::string& path, const std::function<int16_t(const std::string& tmp)>& write) {
    namespace fs = std::filesystem;
    fs::path target(path);
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        fs::path real = fs::canonical(target, ec);
        if (!ec) target = std::move(real);
    }
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string tmpl = (dir / ("." + target.filename().string() + ".qova-XXXXXX")).string();
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
