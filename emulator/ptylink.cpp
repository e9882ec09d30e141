#include "ptylink.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace emu {

PtyLink::~PtyLink() {
    close();
}

void PtyLink::close() {
    removeLink();
    if (masterFd >= 0)
        ::close(masterFd);
    if (slaveFd >= 0)
        ::close(slaveFd);
    masterFd = slaveFd = -1;
    path.clear();
}

bool PtyLink::open(std::string& error) {
    close();
    char name[PATH_MAX] = {};
    if (openpty(&masterFd, &slaveFd, name, nullptr, nullptr) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    // Raw both ways, 8 bits, no echo, no line editing: a plain serial line.
    termios tio{};
    tcgetattr(slaveFd, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    tcsetattr(slaveFd, TCSANOW, &tio);
    tcgetattr(masterFd, &tio);
    cfmakeraw(&tio);
    tcsetattr(masterFd, TCSANOW, &tio);
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    fcntl(slaveFd, F_SETFD, FD_CLOEXEC);
    path = name;
    return true;
}

bool PtyLink::makeLink(const std::string& where, std::string& error) {
    struct stat st {};
    if (lstat(where.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = where + " exists and is not a symlink; not replacing it";
            return false;
        }
        ::unlink(where.c_str());
    }
    if (::symlink(path.c_str(), where.c_str()) != 0) {
        error = "cannot make " + where + ": " + std::strerror(errno);
        return false;
    }
    linkPath = where;
    return true;
}

void PtyLink::removeLink() {
    if (linkPath.empty())
        return;
    char target[PATH_MAX] = {};
    const ssize_t n = ::readlink(linkPath.c_str(), target, sizeof target - 1);
    // Another emulator may have taken the name over since; its link stays.
    if (n > 0 && path == std::string(target, size_t(n)))
        ::unlink(linkPath.c_str());
    linkPath.clear();
}

void PtyLink::discardUnread() {
    if (slaveFd >= 0)
        tcflush(slaveFd, TCIFLUSH);
}

} // namespace emu
