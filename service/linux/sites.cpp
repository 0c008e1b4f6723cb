#include "sites.h"

#include <libnetfilter_log/libnetfilter_log.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace linuxbackend {
namespace {

// Reads a (possibly compressed) name at @p at; returns the offset after it in
// the record, or 0 when the name runs off the message.
std::size_t readName(const unsigned char* data, std::size_t size, std::size_t at, std::string& name)
{
    std::size_t end = 0;
    for (int jumps = 0; at < size && jumps < 16;) {
        const unsigned length = data[at];
        if (length == 0)
            return end != 0 ? end : at + 1;
        if ((length & 0xC0) == 0xC0) {
            if (at + 1 >= size)
                return 0;
            end = end != 0 ? end : at + 2;
            at = ((length & 0x3F) << 8) | data[at + 1];
            ++jumps;
            continue;
        }
        if (at + 1 + length > size)
            return 0;
        name += (name.empty() ? "" : ".") + std::string(reinterpret_cast<const char*>(data + at + 1), length);
        at += 1 + length;
    }
    return 0;
}

unsigned read16(const unsigned char* p)
{
    return unsigned(p[0]) << 8 | p[1];
}

int onPacket(nflog_g_handle*, nfgenmsg*, nflog_data* data, void* context)
{
    char* payload = nullptr;
    const int length = nflog_get_payload(data, &payload);
    const auto* ip = reinterpret_cast<const unsigned char*>(payload);
    if (length < 28)
        return 0;
    // The IP header, then UDP's 8 bytes, then the DNS message.
    const std::size_t header = (ip[0] >> 4) == 4 ? (ip[0] & 0x0F) * 4u : 40u;
    DnsAnswer answer;
    if (std::size_t(length) > header + 8 && parseDnsAnswer(ip + header + 8, std::size_t(length) - header - 8, answer))
        (*static_cast<std::function<void(const DnsAnswer&)>*>(context))(answer);
    return 0;
}

} // namespace

bool parseDnsAnswer(const unsigned char* data, std::size_t size, DnsAnswer& answer)
{
    if (size < 12 || (data[2] & 0x80) == 0 || read16(data + 4) == 0)
        return false;   // not a response, or no question
    std::size_t at = readName(data, size, 12, answer.name);
    if (at == 0 || at + 4 > size)
        return false;
    at += 4;
    answer.ttl = 0xFFFFFFFFu;
    for (unsigned i = read16(data + 6); i > 0; --i) {
        std::string owner;
        at = readName(data, size, at, owner);
        if (at == 0 || at + 10 > size)
            break;
        const unsigned type = read16(data + at), length = read16(data + at + 8);
        const std::uint32_t ttl = std::uint32_t(read16(data + at + 4)) << 16 | read16(data + at + 6);
        at += 10;
        if (at + length > size)
            break;
        char text[INET6_ADDRSTRLEN] = {};
        if ((type == 1 && length == 4 && inet_ntop(AF_INET, data + at, text, sizeof text))
            || (type == 28 && length == 16 && inet_ntop(AF_INET6, data + at, text, sizeof text))) {
            answer.addresses.push_back(text);
            answer.ttl = std::min(answer.ttl, ttl);
        }
        at += length;
    }
    std::transform(answer.name.begin(), answer.name.end(), answer.name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return !answer.addresses.empty() && !answer.name.empty();
}

std::string siteOf(const std::string& host)
{
    std::vector<std::string> labels;
    for (std::size_t start = 0, dot; start <= host.size(); start = dot + 1) {
        dot = host.find('.', start);
        dot = dot == std::string::npos ? host.size() : dot;
        if (dot > start)
            labels.push_back(host.substr(start, dot - start));
    }
    if (labels.size() <= 2)
        return host;
    const std::size_t n = labels.size();
    const bool countrySecondLevel = labels[n - 1].size() == 2 && labels[n - 2].size() <= 3;
    const std::size_t keep = countrySecondLevel ? 3 : 2;
    std::string site;
    for (std::size_t i = n - keep; i < n; ++i)
        site += (site.empty() ? "" : ".") + labels[i];
    return site;
}

DnsListener::~DnsListener()
{
    if (m_group != nullptr)
        nflog_unbind_group(m_group);
    if (m_handle != nullptr)
        nflog_close(m_handle);
}

bool DnsListener::open(std::uint16_t group, std::string& error)
{
    m_handle = nflog_open();
    m_group = m_handle != nullptr ? nflog_bind_group(m_handle, group) : nullptr;
    if (m_group == nullptr || nflog_set_mode(m_group, NFULNL_COPY_PACKET, 0xFFFF) < 0) {
        error = std::string("nfnetlink_log group ") + std::to_string(group) + ": " + std::strerror(errno);
        return false;
    }
    nflog_callback_register(m_group, &onPacket, &m_onAnswer);
    const int fd = nflog_fd(m_handle);
    const int size = 1 << 20;   // answers wait here between the service's rounds
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    return true;
}

void DnsListener::drain(const std::function<void(const DnsAnswer&)>& onAnswer)
{
    if (m_handle == nullptr)
        return;
    m_onAnswer = onAnswer;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(nflog_fd(m_handle), buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
        nflog_handle_packet(m_handle, buffer, static_cast<int>(n));
}

} // namespace linuxbackend
