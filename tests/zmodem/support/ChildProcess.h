#pragma once
// ChildProcess: runs another program for the pseudo-terminal tests and the benchmark, with
// given descriptors as its standard input and output, standard error into a file, in a given
// working folder; waits for it with a hard time limit (the program is killed when it runs
// over). Header-only so that the benchmark can use it too. POSIX.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zmtest {

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // False when the program could not be started.
    bool start(const std::vector<std::string>& argv, const std::string& cwd, int inFd, int outFd,
               const std::string& stderrPath)
    {
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ < 0)
            return false;
        if (pid_ == 0) {
            const int err = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (::chdir(cwd.c_str()) != 0)
                ::_exit(126);
            ::dup2(inFd, 0);
            ::dup2(outFd, 1);
            if (err >= 0)
                ::dup2(err, 2);
            ::setsid();
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        return true;
    }

    // Waits up to timeoutMs; kills the program when it is still running then.
    // Returns the exit status (0..255), or -1 when it was killed or died of a signal.
    int wait(int timeoutMs)
    {
        for (int waited = 0; !finished(); waited += 10) {
            if (waited >= timeoutMs) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                pid_ = -1;
                return exit_ = -1;
            }
            ::usleep(10'000);
        }
        return exit_;
    }

    // True once the program has ended (its status is then kept for wait()); never waits.
    bool finished()
    {
        if (pid_ <= 0)
            return true;
        int status = 0;
        rusage ru{};
        if (::wait4(pid_, &status, WNOHANG, &ru) != pid_)
            return false;
        pid_ = -1;
        cpuSeconds_ = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                      static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    }

    void kill()
    {
        if (pid_ > 0)
            ::kill(pid_, SIGKILL);
    }
    // User + system CPU time of the finished program.
    double cpuSeconds() const { return cpuSeconds_; }

private:
    pid_t pid_ = -1;
    int exit_ = -1;
    double cpuSeconds_ = 0;
};

}  // namespace zmtest
