#include "platform/win32/ui/InMemoryTemplate.h"

#include "platform/win32/ui/WindowsHeaders.h"

#include <cstring>
#include <richedit.h>

namespace ui::win32 {

namespace {

// The predefined classes' ordinals in a template.
constexpr std::uint16_t kButtonAtom = 0x0080;
constexpr std::uint16_t kEditAtom = 0x0081;
constexpr std::uint16_t kStaticAtom = 0x0082;

class Writer {
public:
    void word(std::uint16_t v) { put(&v, sizeof v); }
    void dword(std::uint32_t v) { put(&v, sizeof v); }
    void shortValue(int v) { word(static_cast<std::uint16_t>(static_cast<std::int16_t>(v))); }
    void byte(std::uint8_t v) { put(&v, 1); }
    // Latin-1 bytes widen one to one to UTF-16.
    void text(const std::string& s)
    {
        for (unsigned char ch : s)
            word(ch);
        word(0);
    }
    void ordinal(std::uint16_t atom)
    {
        word(0xFFFF);
        word(atom);
    }
    void align()
    {
        while (bytes_.size() % 4 != 0)
            bytes_.push_back(0);
    }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    void put(const void* p, std::size_t n)
    {
        const auto* b = static_cast<const std::uint8_t*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    std::vector<std::uint8_t> bytes_;
};

std::uint32_t commonStyle(unsigned s)
{
    std::uint32_t style = WS_CHILD;
    if (!(s & kHidden))
        style |= WS_VISIBLE;
    if (s & kTabStop)
        style |= WS_TABSTOP;
    if (s & kGroup)
        style |= WS_GROUP;
    if (s & kBorder)
        style |= WS_BORDER;
    if (s & kDisabled)
        style |= WS_DISABLED;
    if (s & kVScroll)
        style |= WS_VSCROLL;
    return style;
}

}  // namespace

ControlClass controlClass(const ControlTemplate& c)
{
    std::uint32_t style = commonStyle(c.style);
    const unsigned s = c.style;
    switch (c.kind) {
    case ControlKind::Static:
        return {"STATIC", kStaticAtom, style | SS_LEFT};
    case ControlKind::Picture:
        return {"STATIC", kStaticAtom, style | SS_BITMAP};
    case ControlKind::Edit:
        style |= ES_LEFT;
        if (s & kAutoHScroll)
            style |= ES_AUTOHSCROLL;
        if (s & kReadOnly)
            style |= ES_READONLY;
        if (s & kPassword)
            style |= ES_PASSWORD;
        if (s & kMultiLine)
            style |= ES_MULTILINE;
        return {"EDIT", kEditAtom, style};
    case ControlKind::PushButton:
        return {"BUTTON", kButtonAtom, style | BS_PUSHBUTTON};
    case ControlKind::DefPushButton:
        return {"BUTTON", kButtonAtom, style | BS_DEFPUSHBUTTON};
    case ControlKind::AutoRadio:
        return {"BUTTON", kButtonAtom, style | BS_AUTORADIOBUTTON};
    case ControlKind::GroupBox:
        return {"BUTTON", kButtonAtom, style | BS_GROUPBOX};
    case ControlKind::ProgressBar:
        return {PROGRESS_CLASSA, 0, (s & kMarquee) ? style | PBS_MARQUEE : style};
    case ControlKind::RichEdit:
        style |= ES_MULTILINE | ES_READONLY;
        if (s & kDisableNoScroll)
            style |= ES_DISABLENOSCROLL;
        return {"RichEdit20A", 0, style};
    }
    return {"STATIC", kStaticAtom, style};
}

namespace {

// The program's units over the system's, both measured once per template.
struct UnitScale {
    explicit UnitScale(const DialogTemplate& tpl)
        : want(dialogUnits(tpl.fontFace, tpl.fontPoints)), have(systemDialogUnits(tpl.fontFace, tpl.fontPoints))
    {
    }
    DuRect operator()(const DuRect& r) const
    {
        auto x = [&](int v) { return mulDiv(v, want.baseX(), have.baseX()); };
        auto y = [&](int v) { return mulDiv(v, want.baseY(), have.baseY()); };
        // Edges, not sizes, so that controls that meet in the template still meet.
        return {x(r.x), y(r.y), x(r.x + r.width) - x(r.x), y(r.y + r.height) - y(r.y)};
    }
    DialogUnits want, have;
};

}  // namespace

DuRect systemUnitsRect(const DialogTemplate& tpl, const DuRect& rect)
{
    return UnitScale(tpl)(rect);
}

InMemoryTemplate::InMemoryTemplate(const DialogTemplate& tpl, Use use)
{
    const UnitScale toSystem(tpl);
    const DuRect size = toSystem({0, 0, tpl.width, tpl.height});
    Writer w;
    std::uint32_t style = DS_SETFONT;
    if (use == Use::ModalDialog)
        style |= DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    else
        style |= WS_CHILD | WS_DISABLED | WS_CAPTION | DS_CONTROL;
    w.word(1);       // dlgVer
    w.word(0xFFFF);  // signature: the extended form
    w.dword(0);      // helpID
    w.dword(use == Use::PropertyPage ? WS_EX_CONTROLPARENT : 0);
    w.dword(style);
    w.word(static_cast<std::uint16_t>(tpl.controls.size()));
    w.shortValue(0);
    w.shortValue(0);
    w.shortValue(size.width);
    w.shortValue(size.height);
    w.word(0);  // no menu
    w.word(0);  // the dialog class
    w.text(tpl.caption);
    w.word(static_cast<std::uint16_t>(tpl.fontPoints));
    w.word(FW_NORMAL);
    w.byte(0);  // not italic
    w.byte(DEFAULT_CHARSET);
    w.text(tpl.fontFace);

    for (const ControlTemplate& c : tpl.controls) {
        w.align();
        const ControlClass cls = controlClass(c);
        w.dword(0);  // helpID
        w.dword(0);  // exStyle: WS_BORDER of an edit box draws sunken under DS_3DLOOK already
        w.dword(cls.style);
        const DuRect r = toSystem(c.rect);
        w.shortValue(r.x);
        w.shortValue(r.y);
        w.shortValue(r.width);
        w.shortValue(r.height);
        w.dword(static_cast<std::uint32_t>(c.id));
        if (cls.atom != 0)
            w.ordinal(cls.atom);
        else
            w.text(cls.className);
        // A picture's bitmap has no resource name: it is set with STM_SETIMAGE after creation.
        w.text(c.kind == ControlKind::Picture ? std::string() : c.text);
        w.word(0);  // no creation data
    }

    auto& bytes = w.bytes();
    bytes_ = bytes.size();
    words_.assign((bytes_ + 3) / 4, 0);
    std::memcpy(words_.data(), bytes.data(), bytes_);
}

}  // namespace ui::win32
