#include "system.h"

#include <nftables/libnftables.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace linuxbackend {

bool runProgram(const std::vector<std::string>& argv, const std::string& input, std::string& output)
{
    output.clear();
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]), ::close(in[1]);
        return false;
    }
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(in[0], 0), ::dup2(out[1], 1), ::dup2(out[1], 2);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]), ::close(out[1]);
    // The inputs are a few kilobytes: written whole before the answer is
    // read. (The service ignores SIGPIPE: a tool that exits early is an error.)
    for (std::size_t done = 0; child > 0 && done < input.size();) {
        const ssize_t n = ::write(in[1], input.data() + done, input.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(in[1]);
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    if (child < 0)
        return false;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string toolPath(const std::string& name)
{
    for (const char* dir : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
        const std::string path = dir + name;
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return name;
}

Nft::Nft() : m_context(nft_ctx_new(NFT_CTX_DEFAULT))
{
    if (m_context != nullptr) {
        nft_ctx_buffer_output(m_context);
        nft_ctx_buffer_error(m_context);
    }
}

Nft::~Nft()
{
    if (m_context != nullptr)
        nft_ctx_free(m_context);
}

bool Nft::run(const std::string& commands, std::string& error, std::string* output)
{
    if (m_context == nullptr) {
        error = "libnftables has no context";
        return false;
    }
    const bool ok = nft_run_cmd_from_buffer(m_context, commands.c_str()) == 0;
    const char* text = nft_ctx_get_output_buffer(m_context);
    if (output != nullptr)
        *output = text != nullptr ? text : "";
    const char* message = nft_ctx_get_error_buffer(m_context);
    error = message != nullptr ? message : "";
    while (!error.empty() && (error.back() == '\n' || error.back() == ' '))
        error.pop_back();
    return ok;
}

} // namespace linuxbackend
