#pragma once
// LineTap: a serial device factory that passes every open on to another one and watches the
// lines it hands out: it counts the bytes both ways and the resends the module asked for
// (each ZRPOS after the first one that answers a file offer), notes the time of the last call
// that came back (the run's sign of life) and, when given a file, keeps a transcript of every
// byte both ways with its time, readable: printable ASCII as it is, "\r", "\n", "\t" and "\\"
// escaped, every other byte as \xHH. A line of the transcript is one direction's bytes until
// the direction changes, 50 ms pass or 96 bytes are shown; it starts with the seconds since the
// tap was made and ">" (to the module) or "<" (from it). Opens, speed changes, closes and
// failed calls have lines of their own, starting with "#". The console password never goes
// into the transcript: where a write carries it, its bytes are shown as '*'.
// One run's devices are used by one thread at a time; counts and the time may be read from any.

#include "platform/IClock.h"
#include "platform/ISerialDevice.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

class LineTap final : public platform::ISerialDeviceFactory {
public:
    // transcriptPath empty: no transcript. A transcript that cannot be created is left out.
    LineTap(platform::ISerialDeviceFactory& inner, platform::IClock& clock, const std::string& transcriptPath,
            std::string secret = {});
    ~LineTap() override;
    LineTap(const LineTap&) = delete;
    LineTap& operator=(const LineTap&) = delete;

    std::unique_ptr<platform::ISerialDevice> open(const std::string& portName) override;
    platform::ResolvedPort resolve(const std::string& portName) override { return inner_.resolve(portName); }
    std::string describe(const std::string& portName) override { return inner_.describe(portName); }
    std::string openFailure(const std::string& portName) override { return inner_.openFailure(portName); }

    std::int64_t bytesOut() const { return bytesOut_.load(); }
    std::int64_t bytesIn() const { return bytesIn_.load(); }
    std::int64_t resyncs() const { return resyncs_.load(); }
    // Clock time of the last serial call that returned; marked also by mark() (the run's waits).
    std::int64_t lastActivityUs() const { return lastActivityUs_.load(); }
    void mark()
    {
        lastActivityUs_.store(clock_.nowUs());
        if (onMark)
            onMark();
    }
    // Called on the run's thread after every mark.
    std::function<void()> onMark;
    bool transcribing() const { return file_ != nullptr; }

    // Called by the tapped devices.
    void passed(bool toModule, const std::uint8_t* data, std::size_t size);
    void note(const std::string& text);

private:
    void endLineLocked();
    void watchFrames(bool toModule, std::uint8_t byte);

    platform::ISerialDeviceFactory& inner_;
    platform::IClock& clock_;
    std::string secret_;
    std::int64_t startUs_;
    std::FILE* file_ = nullptr;
    std::mutex mutex_;
    int lineDirection_ = 0;  // 0 none, 1 to the module, 2 from it
    int lineBytes_ = 0;
    std::int64_t lineStartUs_ = 0;
    std::uint32_t lastOut_ = 0, lastIn_ = 0;  // the last four bytes each way, for the frame watch
    bool offerOpen_ = false;                  // a file was offered and its first ZRPOS is due
    std::atomic<std::int64_t> bytesOut_{0}, bytesIn_{0}, resyncs_{0}, lastActivityUs_{0};
};
