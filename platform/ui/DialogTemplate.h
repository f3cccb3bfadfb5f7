#pragma once
// DialogTemplate: a dialog resource as data. One DialogTemplate per template id (caption, size in
// dialog units, font) with its controls in creation order (id, kind, rectangle in dialog units,
// text, style flags). The resources themselves live in app/ui/Resources.cpp and are found by id
// through res::findDialog (platform/ui/Resources.h). Each window backend turns a template into
// its own controls, every one reachable again by its control id (CDialog's item calls).

#include <string>
#include <vector>

namespace ui {

enum class ControlKind {
    Static,        // static text: word-wrapped, "\n" breaks lines, "\t" expands
    Edit,          // one-line edit box
    PushButton,
    DefPushButton, // the dialog's default push button
    AutoRadio,     // automatic radio button: a click selects it and clears its siblings
    GroupBox,
    Picture,       // static picture showing a bitmap resource at its own pixel size
    ProgressBar,
    RichEdit,      // read-only multi-line text, plain
};

// Style flags; the names follow the window styles they stand for.
enum ControlStyle : unsigned {
    kNone = 0,
    kTabStop = 1u << 0,
    kGroup = 1u << 1,
    kBorder = 1u << 2,
    kReadOnly = 1u << 3,
    kDisabled = 1u << 4,
    kPassword = 1u << 5,
    kAutoHScroll = 1u << 6,
    kMultiLine = 1u << 7,
    kVScroll = 1u << 8,
    kDisableNoScroll = 1u << 9,  // scroll bar always shown, disabled when not needed
    kMarquee = 1u << 10,         // progress bar: a moving busy indication instead of a position
    kHidden = 1u << 11,          // created hidden (the template's missing WS_VISIBLE)
};

struct DuRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The control id of controls that code never refers to (IDC_STATIC).
inline constexpr int kStaticId = -1;

struct ControlTemplate {
    int id = kStaticId;
    ControlKind kind = ControlKind::Static;
    DuRect rect;
    std::string text;
    unsigned style = kNone;
    int bitmapId = 0;  // Picture only: the bitmap resource shown
};

struct DialogTemplate {
    int id = 0;
    std::string caption;
    int width = 0, height = 0;  // dialog units
    std::string fontFace = "MS Sans Serif";
    int fontPoints = 8;
    std::vector<ControlTemplate> controls;

    const ControlTemplate* control(int controlId) const
    {
        for (const auto& c : controls)
            if (c.id == controlId)
                return &c;
        return nullptr;
    }
};

}  // namespace ui
