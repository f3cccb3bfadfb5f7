#pragma once
// PortEvent: one thing that happened in one port's run, as the fleet's view takes it in. A run
// in a child process writes its events to its standard output, one line each (encode), and the
// supervisor reads them back (decode); a run on a thread of the supervisor hands them over
// directly. Fields that a kind does not use stay empty or 0.
//
//   Device   text: the device as the operator is told ("/dev/ttyUSB0 (FT232R USB UART)")
//   Status   text: the new status line of the run
//   Count    text: "boot" or "code"; sentK, totalK; rate in bytes/s (< 0 not yet known)
//   Message  text: what the wizard would show in a message box, or a verification report
//   Verdict  code; text: the verdict line; detail: the explanation of a failure
//   Stats    bytesOut, bytesIn (on the line), resyncs, fileBytes (both files' bytes confirmed)
//   Alive    the run still makes progress on the line or in its waits (no display)
//   Ended    code: the run's result code

#include <cstdint>
#include <optional>
#include <string>

struct PortEvent {
    enum class Kind { Device, Status, Count, Message, Verdict, Stats, Alive, Ended };
    Kind kind = Kind::Status;
    std::string text;
    std::string detail;
    int code = 0;
    std::int64_t sentK = 0, totalK = 0;
    double rate = -1;
    std::int64_t bytesOut = 0, bytesIn = 0, resyncs = 0, fileBytes = 0;

    // One line without its line end: the kind's name and the fields, tab-separated, with tab,
    // line end and backslash escaped so that any text survives the trip.
    std::string encode() const;
    // The event of one line from encode(); nothing for a line that is not one.
    static std::optional<PortEvent> decode(const std::string& line);
};

// The events of one port's run go to one of these; it may be called from any thread.
class IPortEvents {
public:
    virtual ~IPortEvents() = default;
    virtual void event(const PortEvent& e) = 0;
};
