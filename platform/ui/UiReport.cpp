#include "platform/ui/UiReport.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace ui {

namespace {

std::mutex g_mutex;
std::FILE* g_file = nullptr;

const char* kindName(UiReport::Kind kind)
{
    switch (kind) {
    case UiReport::Kind::Button: return "button";
    case UiReport::Kind::Radio: return "radio";
    case UiReport::Kind::Edit: return "edit";
    case UiReport::Kind::Other: break;
    }
    return "other";
}

std::string describe(const UiReport::Control& c)
{
    return std::to_string(c.id) + " " + kindName(c.kind) + " " + std::to_string(c.x) + " " + std::to_string(c.y) +
           " " + std::to_string(c.width) + " " + std::to_string(c.height) + " " + UiReport::flat(c.text, true);
}

}  // namespace

void UiReport::installFromEnvironment()
{
    const char* path = std::getenv("TARVEL_UI_REPORT");
    if (!path || !*path)
        return;
    {
        std::lock_guard lock(g_mutex);
        if (g_file)
            return;
        g_file = std::fopen(path, "a");
        if (!g_file)
            return;
    }
    startWatching();
}

bool UiReport::enabled()
{
    std::lock_guard lock(g_mutex);
    return g_file != nullptr;
}

void UiReport::line(const std::string& text)
{
    std::lock_guard lock(g_mutex);
    if (!g_file)
        return;
    std::fputs(text.c_str(), g_file);
    std::fputc('\n', g_file);
    std::fflush(g_file);
}

std::string UiReport::flat(const std::string& text, bool label)
{
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == '\r' || (label && byte == '&'))
            continue;
        if (byte == '\n') {
            out += "\\n";
        } else if (byte < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

void UiReport::controlText(int id, const std::string& text)
{
    // Long texts (the agreement) are cut: their beginning tells them apart.
    constexpr std::size_t kLongest = 200;
    if (!enabled())
        return;
    const bool cut = text.size() > kLongest;
    line("text " + std::to_string(id) + " " + flat(cut ? text.substr(0, kLongest) : text, false) + (cut ? "..." : ""));
}

void UiReport::page(int templateId) { line("page " + std::to_string(templateId)); }
void UiReport::dialogOpen(int templateId) { line("dialog " + std::to_string(templateId) + " open"); }
void UiReport::dialogClose(int templateId, int result)
{
    line("dialog " + std::to_string(templateId) + " close " + std::to_string(result));
}
void UiReport::messageBox(const std::string& text) { line("msgbox " + flat(text, false)); }
void UiReport::messageBoxClose() { line("msgbox close"); }
void UiReport::fileDialog(const std::string& title, const std::string& types)
{
    line("filedialog " + flat(title, false) + " [" + flat(types, false) + "]");
}
void UiReport::fileDialogClose() { line("filedialog close"); }
void UiReport::beep() { line("beep"); }
void UiReport::focus(const Control& c) { line("focus " + describe(c)); }
void UiReport::control(const Control& c) { line("control " + describe(c)); }

}  // namespace ui
