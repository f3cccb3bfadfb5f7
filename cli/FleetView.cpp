#include "cli/FleetView.h"

#include "cli/CliProgress.h"
#include "upgrade/ProgressState.h"
#include "upgrade/UpgradeWorker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

std::string utcNow()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto day = floor<days>(now);
    const year_month_day ymd{day};
    const hh_mm_ss hms{floor<std::chrono::seconds>(now - day)};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02ld:%02ld:%02ldZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), static_cast<long>(hms.hours().count()),
                  static_cast<long>(hms.minutes().count()), static_cast<long>(hms.seconds().count()));
    return buf;
}

std::string oneLine(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += (c == '\n' || c == '\r') ? ' ' : c;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string jsonText(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string cell(std::string text, std::size_t width)
{
    if (text.size() > width)
        text = text.substr(0, width - 1) + "~";
    return text + std::string(width - text.size() + 2, ' ');
}

std::string seconds(std::int64_t us)
{
    char buf[32];
    const long s = static_cast<long>(us / 1'000'000);
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

}  // namespace

int FleetView::addRun(const std::string& port, const std::string& device, const std::string& byId)
{
    std::lock_guard lock(mutex_);
    Row r;
    int earlier = 0;
    for (const Row& o : rows_)
        earlier += o.port == port ? 1 : 0;
    r.port = port;
    r.label = earlier == 0 ? port : port + " #" + std::to_string(earlier + 1);
    r.device = device;
    r.byId = byId;
    r.startUs = r.lastEventUs = clock_.nowUs();
    r.startedAt = utcNow();
    rows_.push_back(r);
    return static_cast<int>(rows_.size()) - 1;
}

void FleetView::lineLocked(const Row& r, const std::string& text)
{
    if (!output_.terminal())
        output_.line(r.label + ": " + text);
}

void FleetView::event(int row, const PortEvent& e)
{
    std::lock_guard lock(mutex_);
    Row& r = rows_[static_cast<std::size_t>(row)];
    const std::int64_t now = clock_.nowUs();
    r.lastEventUs = now;
    switch (e.kind) {
    case PortEvent::Kind::Device:
        // "PORT (DEVICE)": the port is in its own column already.
        r.adapter = e.text.rfind(r.port + " (", 0) == 0 && e.text.back() == ')'
                        ? e.text.substr(r.port.size() + 2, e.text.size() - r.port.size() - 3)
                        : e.text;
        lineLocked(r, "using " + e.text + ".");
        break;
    case PortEvent::Kind::Status:
        r.status = e.text;
        r.transferring = e.text == kStatusBootDownload || e.text == kStatusCodeDownload;
        r.bootDone = r.bootDone || e.text == kStatusBootDone || e.text == kStatusCodeDownload;
        r.sentK = r.totalK = 0;
        r.rate = -1;
        lineLocked(r, e.text);
        break;
    case PortEvent::Kind::Count: {
        r.file = e.text;
        r.sentK = e.sentK;
        r.totalK = e.totalK;
        r.rate = e.rate;
        const bool complete = e.sentK >= e.totalK;
        if (r.lastCountLineUs < 0 || now - r.lastCountLineUs >= countIntervalUs_ || complete) {
            r.lastCountLineUs = complete ? -1 : now;
            lineLocked(r, CliProgress::formatLine(e.text + " file", static_cast<std::int32_t>(e.sentK),
                                                  static_cast<std::int32_t>(e.totalK), e.rate, 0));
        }
        break;
    }
    case PortEvent::Kind::Message:
        r.messages.push_back(e.text);
        lineLocked(r, oneLine(e.text));
        break;
    case PortEvent::Kind::Verdict:
        r.verdict = e.text;
        r.details = e.detail;
        lineLocked(r, e.text + (e.detail.empty() ? "" : " " + oneLine(e.detail)));
        break;
    case PortEvent::Kind::Stats:
        r.bytesOut = e.bytesOut, r.bytesIn = e.bytesIn, r.resyncs = e.resyncs, r.fileBytes = e.fileBytes;
        break;
    case PortEvent::Kind::Alive:
        break;
    case PortEvent::Kind::Ended:
        if (r.ended)
            break;
        r.ended = true;
        r.endUs = now;
        r.endedAt = utcNow();
        if (e.code >= 0 && r.stopped.empty()) {
            r.code = e.code;
            r.transferring = false;
        } else {
            // No verdict of its own: the stage it reached decides.
            r.code = r.transferring ? (r.bootDone ? 8 : 7) : (r.bootDone ? 8 : 3);
            if (r.stopped.empty())
                r.stopped = e.text.empty() ? "the run stopped without its verdict" : e.text;
        }
        lineLocked(r, "result " + std::to_string(r.code) + (r.stopped.empty() ? "" : " (" + r.stopped + ")"));
        break;
    }
}

void FleetView::stopping(int row, const std::string& why)
{
    std::lock_guard lock(mutex_);
    Row& r = rows_[static_cast<std::size_t>(row)];
    if (!r.ended && r.stopped.empty())
        r.stopped = why;
}

std::int64_t FleetView::lastEventUs(int row) const
{
    std::lock_guard lock(mutex_);
    return rows_[static_cast<std::size_t>(row)].lastEventUs;
}

bool FleetView::ended(int row) const
{
    std::lock_guard lock(mutex_);
    return rows_[static_cast<std::size_t>(row)].ended;
}

std::vector<FleetView::Row> FleetView::rows() const
{
    std::lock_guard lock(mutex_);
    return rows_;
}

std::string FleetView::phaseOf(const Row& r)
{
    if (r.ended)
        return r.code == 0 ? "done" : "failed";
    const std::string& s = r.status;
    if (s.rfind("Verifying", 0) == 0)
        return "verifying";
    if (s == ProgressState::kInitialStatus)
        return "console";
    if (s == kStatusErasing)
        return "erasing config";
    if (s == kStatusPreparingFlash)
        return "preparing flash";
    if (s == kStatusBootDownload)
        return "boot file";
    if (s == kStatusBootDone)
        return "waiting";
    if (s == kStatusCodeDownload)
        return "code file";
    return "starting";
}

std::string FleetView::tableLocked(bool live) const
{
    std::size_t portWidth = 4, adapterWidth = 7;
    for (const Row& r : rows_)
        portWidth = std::max(portWidth, r.label.size()), adapterWidth = std::max(adapterWidth, r.adapter.size());
    // The live table fits a terminal; the summary keeps every name whole.
    if (live)
        portWidth = std::min<std::size_t>(portWidth, 40), adapterWidth = std::min<std::size_t>(adapterWidth, 40);
    std::string text = cell("PORT", portWidth) + cell("ADAPTER", adapterWidth) + cell("PHASE", 15) + cell("PROGRESS", 16) +
                       cell("RATE", 10) + cell(live ? "LEFT" : "TIME", 8) + "RESULT";
    text += "\x1b[K\n";
    for (const Row& r : rows_) {
        std::string progress, rate, left, result;
        if (r.totalK > 0 || r.sentK > 0)
            progress = r.file + " " + std::to_string(r.sentK) + "K of " + std::to_string(r.totalK) + "K";
        if (r.rate > 0 && !r.ended) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.1f KB/s", r.rate / 1024.0);
            rate = buf;
            const double leftBytes = static_cast<double>(r.totalK - r.sentK) * 1024.0;
            left = seconds(static_cast<std::int64_t>(std::max(0.0, leftBytes / r.rate) * 1e6));
        }
        if (!live)
            left = seconds((r.ended ? r.endUs : r.lastEventUs) - r.startUs);
        if (r.ended)
            result = std::to_string(r.code) + (r.code == 0 ? " ok" : r.stopped.empty() ? " failed" : " stopped");
        text += cell(r.label, portWidth) + cell(r.adapter, adapterWidth) + cell(phaseOf(r), 15) + cell(progress, 16) + cell(rate, 10) +
                cell(left, 8) + result + "\x1b[K\n";
    }
    return text;
}

void FleetView::tick()
{
    if (!output_.terminal())
        return;
    std::lock_guard lock(mutex_);
    std::string text;
    if (drawnLines_ > 0)
        text += "\x1b[" + std::to_string(drawnLines_) + "A\r";
    text += tableLocked(true);
    drawnLines_ = static_cast<int>(rows_.size()) + 1;
    output_.raw(text);
}

void FleetView::note(const std::string& text)
{
    std::lock_guard lock(mutex_);
    drawnLines_ = 0;
    output_.line(text);
}

void FleetView::finish(std::FILE* out)
{
    tick();
    std::lock_guard lock(mutex_);
    std::string text = "Summary:\n";
    std::string table = tableLocked(false);
    // The summary is kept (a file, a log): no terminal controls in it.
    for (std::size_t at; (at = table.find("\x1b[K")) != std::string::npos;)
        table.erase(at, 3);
    text += table;
    std::string mid;
    for (const Row& r : rows_) {
        if (r.code != 0) {
            text += "\n" + r.label + ": " + (r.verdict.empty() ? "no verdict" : r.verdict) + "\n";
            if (!r.details.empty())
                text += r.details + (r.details.back() == '\n' ? "" : "\n");
            // What the run reported on the way (a terminal's live table had no room for it).
            for (const std::string& m : r.messages)
                text += "  " + oneLine(m) + "\n";
            if (!r.stopped.empty())
                text += "The run stopped: " + r.stopped + ".\n";
        }
        if (!r.stopped.empty() && r.transferring)
            mid += "  " + r.label + " (" + r.file + " file, " + std::to_string(r.sentK) + "K of " +
                   std::to_string(r.totalK) + "K)\n";
    }
    if (!mid.empty())
        text += "\nLeft mid-transfer:\n" + mid;
    output_.endLive();
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

int FleetView::exitStatus() const
{
    std::lock_guard lock(mutex_);
    if (rows_.empty())
        return 1;
    int status = 0;
    for (const Row& r : rows_)
        status = std::max(status, r.code);
    return status;
}

std::string FleetView::json() const
{
    std::lock_guard lock(mutex_);
    std::string text = "{\n  \"ports\": [";
    int status = rows_.empty() ? 1 : 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& r = rows_[i];
        status = std::max(status, r.code);
        std::string messages;
        for (const std::string& m : r.messages)
            messages += (messages.empty() ? "" : ", ") + jsonText(m);
        char secs[32];
        std::snprintf(secs, sizeof secs, "%.3f", static_cast<double>(r.endUs - r.startUs) / 1e6);
        text += std::string(i ? "," : "") + "\n    {\"port\": " + jsonText(r.port) + ", \"device\": " + jsonText(r.device) +
                ", \"byId\": " + jsonText(r.byId) + ", \"adapter\": " + jsonText(r.adapter) +
                ",\n     \"result\": " + std::to_string(r.code) + ", \"verdict\": " + jsonText(r.verdict) +
                ", \"details\": " + jsonText(r.details) + ", \"stopped\": " + jsonText(r.stopped) +
                ", \"midTransfer\": " + (!r.stopped.empty() && r.transferring ? "true" : "false") +
                ",\n     \"messages\": [" + messages + "]" + ",\n     \"started\": " + jsonText(r.startedAt) +
                ", \"ended\": " + jsonText(r.endedAt) + ", \"seconds\": " + secs +
                ",\n     \"bytesSent\": " + std::to_string(r.bytesOut) + ", \"bytesReceived\": " + std::to_string(r.bytesIn) +
                ", \"fileBytes\": " + std::to_string(r.fileBytes) + ", \"resyncs\": " + std::to_string(r.resyncs) + "}";
    }
    return text + "\n  ],\n  \"exitStatus\": " + std::to_string(status) + "\n}\n";
}
