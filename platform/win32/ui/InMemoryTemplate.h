#pragma once
// InMemoryTemplate: a dialog template in the window system's own binary form (DLGTEMPLATEEX
// followed by its DLGITEMTEMPLATEEX items), built from a ui::DialogTemplate, for
// CreateDialogIndirectParamA and for property pages (PSP_DLGINDIRECT). Sizes and positions are
// in the system's dialog units: the window system converts them with the template's font, which
// the template names through DS_SETFONT ("MS Sans Serif" 8 as in the resources). The program's
// units are laid out at ui::dialogUnits (7 x 14 for that face at 8 points and 96 dpi), so each
// value is scaled by those units over the font's own (systemDialogUnits). Texts are the
// templates' byte strings in the program's code page (Latin-1), widened to the template's UTF-16.
// Control kinds map to the system classes: BUTTON (push, default push, automatic radio, group
// box), EDIT, STATIC (text, or SS_BITMAP for a picture, whose bitmap is set once the dialog
// exists), msctls_progress32 (PBS_MARQUEE for a busy bar) and the rich-edit class RichEdit20A
// (Riched20.dll must be loaded). kHidden leaves out WS_VISIBLE.

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/DialogUnits.h"

#include <cstdint>
#include <vector>

namespace ui::win32 {

// The window class and style a control template is created with.
struct ControlClass {
    const char* className;
    std::uint16_t atom;  // the predefined class's ordinal (0 when given by name)
    std::uint32_t style;
};
ControlClass controlClass(const ControlTemplate& c);

// The base units the window system derives from a template's font (its average letter width
// and height): what it converts the template's values with.
DialogUnits systemDialogUnits(const std::string& face, int points);
// A rectangle of the template's dialog units in the system's units for its font.
DuRect systemUnitsRect(const DialogTemplate& tpl, const DuRect& rect);

class InMemoryTemplate {
public:
    enum class Use { ModalDialog, PropertyPage };
    InMemoryTemplate(const DialogTemplate& tpl, Use use);

    // Aligned on a DWORD boundary, as the window system requires.
    const void* data() const { return words_.data(); }
    std::size_t size() const { return bytes_; }

private:
    std::vector<std::uint32_t> words_;
    std::size_t bytes_ = 0;
};

}  // namespace ui::win32
