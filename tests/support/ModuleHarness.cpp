#include "support/ModuleHarness.h"

namespace test {

ModuleHarness::ModuleHarness(sim::ModuleConfig config, platform::IThreadStarter* threads)
    : module(std::move(config)), line(clock, module),
      scope_({&clock, &factory, &notifier, threads})
{
    factory.add("COM1", line);
}

std::int64_t ModuleHarness::timeOf(const std::string& text, std::size_t occurrence) const
{
    const auto writes = line.hostWrites();
    const std::string all = line.hostText();
    std::size_t pos = text.empty() ? std::string::npos : all.find(text);
    for (std::size_t i = 0; i < occurrence && pos != std::string::npos; ++i)
        pos = all.find(text, pos + text.size());
    return pos == std::string::npos ? -1 : writes[pos].atUs;
}

std::size_t ModuleHarness::count(const std::string& text) const
{
    const std::string all = line.hostText();
    std::size_t n = 0;
    for (std::size_t pos = all.find(text); !text.empty() && pos != std::string::npos; pos = all.find(text, pos + text.size()))
        ++n;
    return n;
}

std::vector<ModuleHarness::Burst> ModuleHarness::bursts(std::int64_t gapUs) const
{
    std::vector<Burst> out;
    std::int64_t last = 0;
    for (const auto& w : line.hostWrites()) {
        if (out.empty() || w.atUs - last > gapUs)
            out.push_back({w.atUs, {}});
        out.back().text += static_cast<char>(w.value);
        last = w.atUs;
    }
    return out;
}

}  // namespace test
