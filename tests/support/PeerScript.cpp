#include "support/PeerScript.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace sorrelbox::test {
namespace {

// Absolute, so that tests may change the current folder.
const std::filesystem::path kScript = std::filesystem::path(SORRELBOX_RESOURCE_DIR).parent_path() /
                                      "tests" / "tagwrite" / "peers" / "id3v2_peers.py";

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

std::optional<std::string> PeerPython() {
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        const std::string probe = std::string(python) + " -c 'import mutagen' >/dev/null 2>&1";
        if (std::system(probe.c_str()) == 0) return python;
    }
    return std::nullopt;
}

PeerRun RunPeerScript(const std::string& python, const std::vector<std::string>& args) {
    PeerRun r;
    std::string command = python + " " + Quote(kScript.string());
    for (const std::string& arg : args) command += " " + Quote(arg);
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) r.out.append(buffer, n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace sorrelbox::test
