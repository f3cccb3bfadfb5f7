#include "platform/win32/Win32SerialDevice.h"

#include "platform/win32/Win32CommApi.h"

#include <windows.h>

#include <algorithm>

namespace platform {

namespace {

const Win32CommApi kSystemApi{};

// What LineSettings can say about a DCB. Driver values it has no word for (mark or space
// parity, 1.5 stop bits, DTR handshake, RTS toggle) read as the nearest plain setting.
LineSettings settingsOf(const DCB& dcb)
{
    LineSettings s;
    s.baudRate = dcb.BaudRate;
    s.byteSize = dcb.ByteSize;
    switch (dcb.Parity) {
    case ODDPARITY: s.parity = LineSettings::Parity::Odd; break;
    case EVENPARITY: s.parity = LineSettings::Parity::Even; break;
    default: s.parity = LineSettings::Parity::None; break;
    }
    s.stopBits = dcb.StopBits == TWOSTOPBITS ? 2 : 1;
    s.outxCtsFlow = dcb.fOutxCtsFlow != 0;
    s.outxDsrFlow = dcb.fOutxDsrFlow != 0;
    s.dtrControl = dcb.fDtrControl == DTR_CONTROL_DISABLE ? LineSettings::DtrControl::Disable
                                                          : LineSettings::DtrControl::Enable;
    switch (dcb.fRtsControl) {
    case RTS_CONTROL_DISABLE: s.rtsControl = LineSettings::RtsControl::Disable; break;
    case RTS_CONTROL_HANDSHAKE: s.rtsControl = LineSettings::RtsControl::Handshake; break;
    default: s.rtsControl = LineSettings::RtsControl::Enable; break;
    }
    s.outX = dcb.fOutX != 0;
    s.inX = dcb.fInX != 0;
    return s;
}

BYTE parityOf(LineSettings::Parity p)
{
    switch (p) {
    case LineSettings::Parity::Odd: return ODDPARITY;
    case LineSettings::Parity::Even: return EVENPARITY;
    case LineSettings::Parity::None: break;
    }
    return NOPARITY;
}

// fRtsControl is a two-bit field: only constants go in without a narrowing warning.
void setRtsControl(DCB& dcb, LineSettings::RtsControl r)
{
    switch (r) {
    case LineSettings::RtsControl::Disable: dcb.fRtsControl = RTS_CONTROL_DISABLE; return;
    case LineSettings::RtsControl::Handshake: dcb.fRtsControl = RTS_CONTROL_HANDSHAKE; return;
    case LineSettings::RtsControl::Enable: break;
    }
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
}

bool readDcb(const Win32CommApi& api, HANDLE h, DCB& dcb)
{
    dcb = DCB{};
    dcb.DCBlength = sizeof(DCB);
    return api.getCommState(h, &dcb) != 0;
}

// One transfer moves at most a DWORD's worth; callers ask for a few kilobytes.
DWORD chunk(std::size_t size)
{
    return static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
}

}  // namespace

std::unique_ptr<Win32SerialDevice> Win32SerialDevice::open(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    return attach(h, kSystemApi);
}

std::unique_ptr<Win32SerialDevice> Win32SerialDevice::attach(void* handle, const Win32CommApi& api)
{
    return std::unique_ptr<Win32SerialDevice>(new Win32SerialDevice(handle, api));
}

Win32SerialDevice::~Win32SerialDevice()
{
    api_.closeHandle(handle_);
}

bool Win32SerialDevice::getState(LineSettings& out)
{
    DCB dcb;
    if (!readDcb(api_, handle_, dcb))
        return false;
    out = settingsOf(dcb);
    return true;
}

bool Win32SerialDevice::setState(const LineSettings& s)
{
    DCB dcb;
    if (!readDcb(api_, handle_, dcb))
        return false;
    // Every field that LineSettings carries is written, even where getState would read the
    // driver's value as the same setting: mark parity, 1.5 stop bits or DTR handshake left by an
    // earlier program would otherwise stay on the line (garbled bytes, DTR dropped when the input
    // fills, a SetCommState that fails).
    dcb.BaudRate = s.baudRate;
    dcb.ByteSize = s.byteSize;
    dcb.Parity = parityOf(s.parity);
    dcb.StopBits = s.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fOutxCtsFlow = s.outxCtsFlow ? TRUE : FALSE;
    dcb.fOutxDsrFlow = s.outxDsrFlow ? TRUE : FALSE;
    dcb.fDtrControl = s.dtrControl == LineSettings::DtrControl::Enable ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    setRtsControl(dcb, s.rtsControl);
    dcb.fOutX = s.outX ? TRUE : FALSE;
    dcb.fInX = s.inX ? TRUE : FALSE;
    return api_.setCommState(handle_, &dcb) != 0;
}

bool Win32SerialDevice::setupQueues(std::uint32_t inQueue, std::uint32_t outQueue)
{
    return api_.setupComm(handle_, inQueue, outQueue) != 0;
}

bool Win32SerialDevice::setTimeouts(const SerialTimeouts& t)
{
    COMMTIMEOUTS ct{};
    ct.ReadIntervalTimeout = t.readInterval;
    ct.ReadTotalTimeoutMultiplier = t.readTotalMultiplier;
    ct.ReadTotalTimeoutConstant = t.readTotalConstant;
    ct.WriteTotalTimeoutMultiplier = t.writeTotalMultiplier;
    ct.WriteTotalTimeoutConstant = t.writeTotalConstant;
    return api_.setCommTimeouts(handle_, &ct) != 0;
}

bool Win32SerialDevice::read(std::uint8_t* buffer, std::size_t size, std::size_t& received)
{
    received = 0;
    if (size == 0)
        return true;
    DWORD n = 0;
    const BOOL ok = api_.readFile(handle_, buffer, chunk(size), &n, nullptr);
    received = n;
    return ok != 0;
}

bool Win32SerialDevice::write(const std::uint8_t* data, std::size_t size, std::size_t& written)
{
    written = 0;
    if (size == 0)
        return true;
    DWORD n = 0;
    const BOOL ok = api_.writeFile(handle_, data, chunk(size), &n, nullptr);
    written = n;
    return ok != 0;
}

bool Win32SerialDevice::clearError(std::uint32_t* inQueue)
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!api_.clearCommError(handle_, &errors, inQueue ? &status : nullptr))
        return false;
    if (inQueue)
        *inQueue = status.cbInQue;
    return true;
}

}  // namespace platform
