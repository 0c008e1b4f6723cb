#pragma once

// The kernel's tools as the backend reaches them: nftables through
// libnftables, tc and ip as programs (their netlink messages are theirs).

#include <string>
#include <vector>

struct nft_ctx;

namespace linuxbackend {

// Runs @p argv with @p input on its standard input; its standard output and
// error land in @p output. True when it exited with 0.
bool runProgram(const std::vector<std::string>& argv, const std::string& input, std::string& output);

// The path of a system tool such as "tc" (the sbin folders first).
std::string toolPath(const std::string& name);

// One libnftables context; commands run as one transaction each.
class Nft {
public:
    Nft();
    ~Nft();
    Nft(const Nft&) = delete;
    Nft& operator=(const Nft&) = delete;

    bool isValid() const { return m_context != nullptr; }
    // Runs @p commands (nft syntax, several lines) atomically. False with
    // nft's message in @p error; what a list command prints lands in @p output.
    bool run(const std::string& commands, std::string& error, std::string* output = nullptr);

private:
    nft_ctx* m_context = nullptr;
};

} // namespace linuxbackend
