// ChildProcess on Windows: CreateProcess with an anonymous pipe as the child's standard output,
// the null device as its input, and CREATE_NEW_PROCESS_GROUP, which leaves Ctrl-C to us.
#include "platform/ChildProcess.h"

#include <windows.h>

#include <atomic>

namespace platform {

struct ChildProcess::Impl {
    HANDLE process = nullptr;
    HANDLE out = nullptr;
    bool waited = false;
    int status = 0;
};

namespace {

// One argument as CommandLineToArgvW and the C runtime read it back.
std::string quoted(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    std::size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');
    return out + "\"";
}

std::string lastErrorText()
{
    return "error " + std::to_string(GetLastError());
}

}  // namespace

ChildProcess::ChildProcess(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ChildProcess::~ChildProcess()
{
    if (impl_->out)
        CloseHandle(impl_->out);
    if (!impl_->waited)
        wait();
    CloseHandle(impl_->process);
}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                                                  std::string& error)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        error = lastErrorText();
        return nullptr;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul;
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string commandLine = quoted(program);
    for (const std::string& a : arguments)
        commandLine += " " + quoted(a);
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                                   nullptr, nullptr, &si, &pi);
    if (!ok)
        error = lastErrorText();
    CloseHandle(writeEnd);
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    if (!ok) {
        CloseHandle(readEnd);
        return nullptr;
    }
    CloseHandle(pi.hThread);
    auto impl = std::make_unique<Impl>();
    impl->process = pi.hProcess;
    impl->out = readEnd;
    return std::unique_ptr<ChildProcess>(new ChildProcess(std::move(impl)));
}

std::string ChildProcess::selfPath()
{
    char buf[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

bool ChildProcess::read(std::string& chunk)
{
    char buf[4096];
    DWORD n = 0;
    if (!ReadFile(impl_->out, buf, sizeof buf, &n, nullptr) || n == 0)
        return false;
    chunk.append(buf, n);
    return true;
}

void ChildProcess::kill()
{
    if (!impl_->waited)
        TerminateProcess(impl_->process, 137);
}

int ChildProcess::wait()
{
    if (!impl_->waited) {
        WaitForSingleObject(impl_->process, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(impl_->process, &code);
        impl_->status = static_cast<int>(code);
        impl_->waited = true;
    }
    return impl_->status;
}

namespace {

std::atomic<int> g_interrupts{0};

// Ctrl-C and Ctrl-Break ask once; a console closed or a session ending asks to stop at once.
BOOL WINAPI countInterrupt(DWORD event)
{
    g_interrupts.fetch_add(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 1 : 2);
    return TRUE;
}

}  // namespace

void watchInterrupts()
{
    SetConsoleCtrlHandler(&countInterrupt, TRUE);
}

int interruptCount()
{
    return g_interrupts.load();
}

}  // namespace platform
