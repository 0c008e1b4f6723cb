#pragma once

// Sites: the names the machine's DNS answers give to addresses. The kernel
// copies every DNS answer (an nftables "log group" rule) to the service
// through nfnetlink_log; data packets never come to user space.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct nflog_handle;
struct nflog_g_handle;

namespace linuxbackend {

struct DnsAnswer {
    std::string name;                     // the question's name
    std::vector<std::string> addresses;   // its A and AAAA records, as text
    std::uint32_t ttl = 0;                // the shortest of theirs
};

// Parses a DNS response (the UDP payload); false when it is none or has no address.
bool parseDnsAnswer(const unsigned char* data, std::size_t size, DnsAnswer& answer);

// The site a host name belongs to: its last two labels, three under a
// two-letter country domain with a short second level ("bbc.co.uk").
std::string siteOf(const std::string& host);

// The kernel's copies of DNS answers, from one nfnetlink_log group.
class DnsListener {
public:
    DnsListener() = default;
    ~DnsListener();
    DnsListener(const DnsListener&) = delete;
    DnsListener& operator=(const DnsListener&) = delete;

    bool open(std::uint16_t group, std::string& error);
    // Hands every answer the kernel copied since the last call to @p onAnswer; never blocks.
    void drain(const std::function<void(const DnsAnswer&)>& onAnswer);

private:
    nflog_handle* m_handle = nullptr;
    nflog_g_handle* m_group = nullptr;
    std::function<void(const DnsAnswer&)> m_onAnswer;
};

} // namespace linuxbackend
