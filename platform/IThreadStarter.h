#pragma once
// IThreadStarter: the stand-in for AfxBeginThread. start() runs procedure(parameter) on a new
// thread at once and returns without waiting; nobody joins the thread, which cleans up after
// itself when the procedure returns. The test double (InlineThreadStarter) runs it on the
// caller's thread instead.

namespace platform {

using ThreadProcedure = unsigned (*)(void* parameter);

class IThreadStarter {
public:
    virtual ~IThreadStarter() = default;
    virtual bool start(ThreadProcedure procedure, void* parameter) = 0;
};

class DetachedThreadStarter final : public IThreadStarter {
public:
    bool start(ThreadProcedure procedure, void* parameter) override;
};

class InlineThreadStarter final : public IThreadStarter {
public:
    bool start(ThreadProcedure procedure, void* parameter) override
    {
        procedure(parameter);
        return true;
    }
};

}  // namespace platform
