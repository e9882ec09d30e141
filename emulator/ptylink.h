#pragma once

#include <string>

namespace emu {

// The emulator's end of the serial line: a raw pseudo-terminal pair. The master carries the
// device's side; the slave is what the program opens. The slave is also held open here, so the
// line survives the program closing and reopening it, and its termios tell the configured speed.
class PtyLink {
public:
    PtyLink() = default;
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    bool open(std::string& error);
    // Makes `path` a symlink to the slave. An existing symlink there is replaced; anything else
    // is left alone and reported.
    bool makeLink(const std::string& path, std::string& error);
    // Removes the link, if it still points at this slave.
    void removeLink();
    // Closes both ends, as a pulled cable: the program's side of the line hangs up. The link
    // (if any) is removed; open() and makeLink() bring the line back.
    void close();
    // Drops bytes written to the program that it has not read.
    void discardUnread();

    int master() const { return masterFd; }
    int slave() const { return slaveFd; }
    const std::string& slavePath() const { return path; }

private:
    int masterFd = -1;
    int slaveFd = -1;
    std::string path;
    std::string linkPath;
};

} // namespace emu
