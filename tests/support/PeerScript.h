#pragma once

#include <optional>
#include <string>
#include <vector>

// Other software as outside readers and writers of our tags, through
// tests/tagwrite/peers/id3v2_peers.py (mutagen, and kid3-cli and ffprobe when installed).

namespace sorrelbox::test {

// A Python that has mutagen: the system's first (it carries the distribution's packages).
std::optional<std::string> PeerPython();

struct PeerRun {
    int status = -1;
    std::string out;  // standard output and error
};
// Runs the script with the arguments, each passed as one word.
PeerRun RunPeerScript(const std::string& python, const std::vector<std::string>& args);

// utf8 as a JSON string literal.
std::string JsonString(const std::string& utf8);

}  // namespace sorrelbox::test
