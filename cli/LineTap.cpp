#include "cli/LineTap.h"

namespace {

constexpr std::int64_t kLineSpanUs = 50'000;
constexpr int kLineBytes = 96;
constexpr std::uint8_t kZdle = 0x18;

class TappedDevice final : public platform::ISerialDevice {
public:
    TappedDevice(std::unique_ptr<platform::ISerialDevice> inner, LineTap& tap) : inner_(std::move(inner)), tap_(tap) {}
    ~TappedDevice() override { tap_.note("close"); }

    bool getState(platform::LineSettings& out) override { return checked(inner_->getState(out), "getState"); }
    bool setState(const platform::LineSettings& s) override
    {
        tap_.note(std::to_string(s.baudRate) + " bps");
        return checked(inner_->setState(s), "setState");
    }
    bool setupQueues(std::uint32_t in, std::uint32_t out) override { return checked(inner_->setupQueues(in, out), "setupQueues"); }
    bool setTimeouts(const platform::SerialTimeouts& t) override { return checked(inner_->setTimeouts(t), "setTimeouts"); }
    bool read(std::uint8_t* buffer, std::size_t size, std::size_t& received) override
    {
        received = 0;
        const bool ok = inner_->read(buffer, size, received);
        tap_.passed(false, buffer, received);
        return checked(ok, "read");
    }
    bool write(const std::uint8_t* data, std::size_t size, std::size_t& written) override
    {
        written = 0;
        const bool ok = inner_->write(data, size, written);
        // What the driver did not take never reached the line.
        tap_.passed(true, data, written <= size ? written : size);
        return checked(ok, "write");
    }
    bool clearError(std::uint32_t* inQueue) override { return checked(inner_->clearError(inQueue), "clearError"); }

private:
    bool checked(bool ok, const char* call)
    {
        tap_.mark();
        if (!ok)
            tap_.note(std::string(call) + " failed");
        return ok;
    }
    std::unique_ptr<platform::ISerialDevice> inner_;
    LineTap& tap_;
};

}  // namespace

LineTap::LineTap(platform::ISerialDeviceFactory& inner, platform::IClock& clock, const std::string& transcriptPath,
                 std::string secret)
    : inner_(inner), clock_(clock), secret_(std::move(secret)), startUs_(clock.nowUs())
{
    lastActivityUs_.store(startUs_);
    if (!transcriptPath.empty())
        file_ = std::fopen(transcriptPath.c_str(), "wb");
}

LineTap::~LineTap()
{
    if (file_) {
        std::lock_guard lock(mutex_);
        endLineLocked();
        std::fclose(file_);
    }
}

std::unique_ptr<platform::ISerialDevice> LineTap::open(const std::string& portName)
{
    auto device = inner_.open(portName);
    mark();
    if (!device) {
        note("open " + portName + " failed");
        return nullptr;
    }
    note("open " + portName);
    return std::make_unique<TappedDevice>(std::move(device), *this);
}

void LineTap::endLineLocked()
{
    if (lineDirection_ != 0)
        std::fputc('\n', file_);
    lineDirection_ = 0;
    lineBytes_ = 0;
}

void LineTap::note(const std::string& text)
{
    if (!file_)
        return;
    std::lock_guard lock(mutex_);
    endLineLocked();
    std::fprintf(file_, "%10.6f # %s\n", static_cast<double>(clock_.nowUs() - startUs_) / 1e6, text.c_str());
    std::fflush(file_);
}

void LineTap::watchFrames(bool toModule, std::uint8_t byte)
{
    // Hex headers: ZDLE 'B' and the type in hex; binary ones: ZDLE 'A' or 'C' and the type byte.
    std::uint32_t& last = toModule ? lastOut_ : lastIn_;
    last = (last << 8) | byte;
    const auto tail3 = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return (last & 0xFFFFFFu) == ((a << 16) | (b << 8) | c);
    };
    if (toModule) {
        if (((last >> 8) & 0xFFFFu) == ((kZdle << 8) | 'A') || ((last >> 8) & 0xFFFFu) == ((kZdle << 8) | 'C'))
            offerOpen_ = offerOpen_ || byte == 4;  // ZFILE
        else if ((last & 0xFFFFFFFFu) == ((std::uint32_t{kZdle} << 24) | ('B' << 16) | ('0' << 8) | '4'))
            offerOpen_ = true;
        return;
    }
    if ((last >> 24) == kZdle && tail3('B', '0', '9')) {  // ZRPOS
        if (offerOpen_)
            offerOpen_ = false;
        else
            ++resyncs_;
    }
}

void LineTap::passed(bool toModule, const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return;
    (toModule ? bytesOut_ : bytesIn_) += static_cast<std::int64_t>(size);
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < size; ++i)
        watchFrames(toModule, data[i]);
    if (!file_)
        return;
    std::string masked;
    if (toModule && !secret_.empty()) {
        masked.assign(reinterpret_cast<const char*>(data), size);
        for (std::size_t at = masked.find(secret_); at != std::string::npos; at = masked.find(secret_, at))
            masked.replace(at, secret_.size(), secret_.size(), '*');
        data = reinterpret_cast<const std::uint8_t*>(masked.data());
    }
    const std::int64_t now = clock_.nowUs();
    const int direction = toModule ? 1 : 2;
    for (std::size_t i = 0; i < size; ++i) {
        if (direction != lineDirection_ || lineBytes_ >= kLineBytes || now - lineStartUs_ > kLineSpanUs) {
            endLineLocked();
            std::fprintf(file_, "%10.6f %c ", static_cast<double>(now - startUs_) / 1e6, toModule ? '>' : '<');
            lineDirection_ = direction;
            lineStartUs_ = now;
        }
        const std::uint8_t b = data[i];
        if (b == '\r')
            std::fputs("\\r", file_);
        else if (b == '\n')
            std::fputs("\\n", file_);
        else if (b == '\t')
            std::fputs("\\t", file_);
        else if (b == '\\')
            std::fputs("\\\\", file_);
        else if (b >= 0x20 && b < 0x7F)
            std::fputc(b, file_);
        else
            std::fprintf(file_, "\\x%02X", b);
        ++lineBytes_;
    }
}
