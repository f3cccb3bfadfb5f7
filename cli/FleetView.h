#pragma once
// FleetView: what the operator sees of a fleet run, and what is kept of it. One row per run of
// a port (a port watched for a while may have several). Events come in from the runs' threads;
// on a terminal tick() redraws a live table (port, adapter, phase, K of K, rate, time left,
// result) in place; elsewhere each event is one line at once, prefixed with the port
// ("ttyUSB0: Downloading boot file, ..."; counts at most once per countIntervalUs and when the
// file is complete). finish(out) prints the summary table, the verdict, explanation and messages
// of each failed run, and the runs left mid-transfer. json() is the record for --json.
//
// A run that ends without its verdict (its process crashed, or was ended) fails with the code
// of the stage it had reached: 7 during the boot file, 8 from the end of the boot file on, 3
// before (console dialogue); its row says why it stopped. exitStatus(): 0 when every run
// succeeded, otherwise the highest result code among them; 1 when there was no run at all.

#include "cli/ConsoleOutput.h"
#include "cli/PortEvent.h"
#include "platform/IClock.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

class FleetView {
public:
    FleetView(ConsoleOutput& output, platform::IClock& clock, std::int64_t countIntervalUs = 5'000'000)
        : output_(output), clock_(clock), countIntervalUs_(countIntervalUs) {}

    // A new run; label is how rows and lines name it (the port, "#N" added for a later run).
    int addRun(const std::string& port, const std::string& device, const std::string& byId);
    void event(int row, const PortEvent& e);
    // The run is being ended by the supervisor: why (for its row and the summary).
    void stopping(int row, const std::string& why);
    // Clock time of the row's last event (its start when none yet).
    std::int64_t lastEventUs(int row) const;
    bool ended(int row) const;

    void tick();
    // A line for the operator outside any row (on a terminal below the table, which is then
    // drawn anew under it).
    void note(const std::string& text);
    // The summary, to out (the verdicts' stream).
    void finish(std::FILE* out);
    std::string json() const;
    int exitStatus() const;

    struct Row {
        std::string label, port, device, byId, adapter;
        std::string status, file;  // file: "boot" or "code" while a count is shown
        std::int64_t sentK = 0, totalK = 0;
        double rate = -1;
        bool ended = false, bootDone = false, transferring = false;
        int code = 0;
        std::string verdict, details, stopped;
        std::vector<std::string> messages;
        std::int64_t bytesOut = 0, bytesIn = 0, resyncs = 0, fileBytes = 0;
        std::int64_t startUs = 0, endUs = 0, lastEventUs = 0, lastCountLineUs = -1;
        std::string startedAt, endedAt;  // UTC, ISO 8601
    };
    std::vector<Row> rows() const;

private:
    static std::string phaseOf(const Row& r);
    std::string tableLocked(bool live) const;
    void lineLocked(const Row& r, const std::string& text);

    ConsoleOutput& output_;
    platform::IClock& clock_;
    std::int64_t countIntervalUs_;
    mutable std::mutex mutex_;
    std::vector<Row> rows_;
    int drawnLines_ = 0;
};
