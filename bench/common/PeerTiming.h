// Measuring a bench and its peer in the same run: CPU time and resident memory of this
// process, and a peer program (ffmpeg, mpv) run to its end with its output thrown away.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace aubadine::bench {

// User plus system CPU seconds this process has used so far.
double processCpu();

// Resident memory of this process in kB (VmRSS), 0 when it cannot be read.
long rssKb();

// What a peer run cost: wall seconds (< 0 when it could not start or did not exit with 0)
// and the CPU seconds of the child.
struct PeerRun {
    double wall = -1;
    double cpu = 0;
};

// Starts args[0] (looked up on PATH) with its standard input, output and error on
// /dev/null; returns its process id, or -1 when it could not start.
pid_t startPeer(std::vector<std::string> args);

// Starts a peer as startPeer does and waits for it to end.
PeerRun runPeer(std::vector<std::string> args);

}  // namespace aubadine::bench
