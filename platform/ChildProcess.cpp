#include "platform/ChildProcess.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {

struct ChildProcess::Impl {
    pid_t pid = -1;
    int out = -1;
    std::atomic<bool> reaped{false};
    int status = 0;
};

ChildProcess::ChildProcess(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ChildProcess::~ChildProcess()
{
    if (impl_->out >= 0)
        ::close(impl_->out);
    if (!impl_->reaped)
        wait();
}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                                                  std::string& error)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A group of its own: the terminal's Ctrl-C is the supervisor's to handle.
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    // SIGPIPE stays ignored (watchInterrupts): a child whose supervisor is gone finishes its
    // run rather than leave its module half flashed.
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        error = std::strerror(rc);
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->pid = pid;
    impl->out = pipeFds[0];
    return std::unique_ptr<ChildProcess>(new ChildProcess(std::move(impl)));
}

std::string ChildProcess::selfPath()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

bool ChildProcess::read(std::string& chunk)
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(impl_->out, buf, sizeof buf);
        if (n > 0) {
            chunk.append(buf, static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return false;
    }
}

void ChildProcess::kill()
{
    if (!impl_->reaped)
        ::kill(impl_->pid, SIGKILL);
}

int ChildProcess::wait()
{
    if (!impl_->reaped) {
        int status = 0;
        while (::waitpid(impl_->pid, &status, 0) < 0 && errno == EINTR) {
        }
        impl_->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        impl_->reaped = true;
    }
    return impl_->status;
}

namespace {

std::atomic<int> g_interrupts{0};

// Ctrl-C asks once; SIGTERM (a shutdown, kill) asks to stop everything at once, as a second Ctrl-C.
extern "C" void countInterrupt(int signal)
{
    g_interrupts.fetch_add(signal == SIGINT ? 1 : 2);
}

}  // namespace

void watchInterrupts()
{
    struct sigaction sa {};
    sa.sa_handler = &countInterrupt;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    // A pipe to a child that died must not end us.
    ::signal(SIGPIPE, SIG_IGN);
}

int interruptCount()
{
    return g_interrupts.load();
}

}  // namespace platform
