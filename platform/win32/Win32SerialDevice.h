#pragma once
// Win32SerialDevice: ISerialDevice on a Windows COM port, through the comm API itself.
// open() is CreateFileA for reading and writing, without sharing (a port that anyone holds,
// this program included, is refused) and without overlapped I/O (every transfer is synchronous).
// setState writes every DCB field that LineSettings carries (speed, data bits, parity, stop bits,
// CTS and DSR output flow, DTR and RTS control, XON/XOFF both ways), whatever the driver held, into
// the DCB that GetCommState returns at that moment; every other field keeps the driver's value. The time-outs are the
// driver's own (SetCommTimeouts): reads and writes end as COMMTIMEOUTS says and report the byte
// counts that ReadFile and WriteFile report, unchanged. clearError is ClearCommError, with the
// input-queue count (cbInQue) when asked for. The handle is closed by the destructor.

#include "platform/ISerialDevice.h"

#include <memory>
#include <string>

namespace platform {

struct Win32CommApi;

class Win32SerialDevice final : public ISerialDevice {
public:
    // path is what CreateFileA opens: "\\.\COM1". nullptr when the port cannot be opened.
    static std::unique_ptr<Win32SerialDevice> open(const std::string& path);
    // A device on a handle that is already open, driven through api (see Win32CommApi.h); it
    // closes the handle through api too.
    static std::unique_ptr<Win32SerialDevice> attach(void* handle, const Win32CommApi& api);
    ~Win32SerialDevice() override;
    Win32SerialDevice(const Win32SerialDevice&) = delete;
    Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

    bool getState(LineSettings& out) override;
    bool setState(const LineSettings& settings) override;
    bool setupQueues(std::uint32_t inQueue, std::uint32_t outQueue) override;
    bool setTimeouts(const SerialTimeouts& timeouts) override;
    bool read(std::uint8_t* buffer, std::size_t size, std::size_t& received) override;
    bool write(const std::uint8_t* data, std::size_t size, std::size_t& written) override;
    bool clearError(std::uint32_t* inQueue) override;

private:
    Win32SerialDevice(void* handle, const Win32CommApi& api) : handle_(handle), api_(api) {}

    void* handle_;  // HANDLE; kept as void* so that this header needs no <windows.h>
    const Win32CommApi& api_;
};

}  // namespace platform
