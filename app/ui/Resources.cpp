// The dialog templates 132, 135-140, 152-155 and 171, as data. Positions are dialog units
// (x, y, width, height); texts are the program's own, byte for byte.
#include "app/ui/Resources.h"

#include "platform/ui/Resources.h"

#include <map>

using ui::ControlKind;
using ui::ControlTemplate;
using ui::DialogTemplate;
using ui::kStaticId;
using namespace ui;  // style flags

namespace {

constexpr const char* kPageCaption = res::kUtilityCaption;

ControlTemplate picture(int id, int x, int y, int w, int h)
{
    return {id, ControlKind::Picture, {x, y, w, h}, "", kNone, res::IDB_SIDE};
}
ControlTemplate text(int id, int x, int y, int w, int h, const char* t)
{
    return {id, ControlKind::Static, {x, y, w, h}, t, kNone, 0};
}
ControlTemplate edit(int id, int x, int y, int w, int h, unsigned style)
{
    return {id, ControlKind::Edit, {x, y, w, h}, "", style, 0};
}
ControlTemplate button(int id, int x, int y, int w, int h, const char* t, unsigned style = kTabStop)
{
    return {id, ControlKind::PushButton, {x, y, w, h}, t, style, 0};
}
ControlTemplate radio(int id, int x, int y, int w, int h, const char* t, unsigned style = kNone)
{
    return {id, ControlKind::AutoRadio, {x, y, w, h}, t, style, 0};
}

DialogTemplate page(int id, int w, std::vector<ControlTemplate> controls)
{
    DialogTemplate d;
    d.id = id;
    d.caption = kPageCaption;
    d.width = w;
    d.height = 156;
    d.controls = std::move(controls);
    return d;
}

constexpr unsigned kEditStyle = kBorder | kAutoHScroll | kTabStop;

std::map<int, DialogTemplate> build()
{
    std::map<int, DialogTemplate> t;

    t[132] = page(132, 322, {
        picture(1000, 0, 0, 90, 150),
        text(1009, 85, 0, 200, 10, "Welcome to the Verification and Upgrade Utility."),
        text(1001, 85, 15, 235, 60,
             "This utility will perform two tasks.\n\nFirstly, it will verify that your Tarvel router module is "
             "capable of being upgraded to the latest Tarvel firmware.\n\nThe utility will then safely perform the "
             "upgrade of the firmware to your device.\n\n"),
        text(kStaticId, 85, 80, 235, 40,
             "Before you continue, please look up the latest firmware version for your router module on the "
             "Tarvel support web site.\n\nClick Next, to continue."),
    });

    t[135] = page(135, 322, {
        picture(1002, 0, 0, 79, 142),
        text(1009, 85, 0, 235, 15, "How to connect to the Tarvel?"),
        text(1003, 85, 15, 235, 25,
             "In order to connect to the Tarvel, you must connect a management cable (null modem) from the Tarvel "
             "console port to a serial port on your computer."),
        text(kStaticId, 85, 50, 235, 35,
             "The Tarvel should be powered on and when the power on sequence has completed, the status LED will "
             "flash green.\n\nWhich serial port are you using? "),
        radio(1007, 85, 90, 36, 10, "COM1", kGroup | kTabStop),
        radio(1008, 85, 105, 36, 10, "COM2"),
        // What COM1 and COM2 stand for on this computer, written by the page.
        text(1090, 125, 91, 195, 9, ""),
        text(1091, 125, 106, 195, 9, ""),
    });

    t[136] = page(136, 322, {
        picture(1010, 0, 0, 80, 80),
        text(1009, 85, 0, 165, 10, "How to connect to the Tarvel?"),
        text(1011, 85, 15, 235, 35,
             "In order to accurately gauge the hardware requirements of the new firmware, the utility needs to know "
             "the new version number.\n\nEnter the version of the firmware you wish to upgrade to."),
        text(1012, 85, 55, 75, 10, "New Firmware Version :"),
        edit(1020, 165, 55, 50, 12, kEditStyle),
        {1013, ControlKind::GroupBox, {85, 75, 190, 55}, "Console Login - Optional", kNone, 0},
        text(1016, 90, 90, 40, 10, "Username :"),
        text(1017, 90, 110, 45, 10, "Password :"),
        edit(1018, 135, 90, 85, 12, kEditStyle | kGroup),
        edit(1019, 135, 110, 85, 12, kEditStyle | kPassword),
    });

    t[137] = page(137, 322, {
        picture(1025, 0, 0, 79, 142),
        text(1009, 85, 0, 225, 10, "Verify first, or upgrade immediately?"),
        text(1026, 85, 15, 235, 45,
             "You can choose to upgrade immediately or you can choose to first verify that the Tarvel is capable of "
             "being upgraded to the new firmware version.\n\nDo you want to verify that your system is capable of "
             "being upgraded?"),
        radio(1027, 85, 60, 85, 10, "Yes (Recommended)"),
        radio(1028, 85, 75, 105, 10, "No, upgrade immediately"),
        text(kStaticId, 85, 95, 235, 20,
             "When you click Next, if 'Yes' is selected the utility will be busy for some moments while it "
             "interrogates the Tarvel."),
    });

    t[138] = page(138, 317, {
        picture(1029, 0, 0, 79, 142),
        text(1009, 85, 0, 130, 10, "Verification result."),
        text(1030, 85, 15, 230, 20,
             "Unfortunately, the utility has determined that upgrading from version 1.5.13 to version 2.0.10 will "
             "not be successful."),
        text(1031, 85, 45, 150, 10, "Click on the Details button for more information."),
        button(1032, 235, 40, 40, 15, "Details"),
        text(1033, 85, 65, 190, 30,
             "Click Finish when you are done.\n\nClick Back if you wish to re-run the verification tests."),
    });

    t[139] = page(139, 322, {
        picture(1034, 0, 0, 85, 140),
        text(1009, 85, 0, 130, 10, "An upgrade will succeed."),
        text(1035, 85, 25, 235, 50,
             "The test of your Tarvel router module indicates that you will be able to successfully upgrade from "
             "version 1.0.0 to version 1.5.1 with the current configuration.\n\nClick Next if you wish to upgrade "
             "the device."),
    });

    t[140] = page(140, 322, {
        picture(1037, 0, 0, 85, 150),
        text(1009, 85, 0, 225, 10, "How to upgrade the Tarvel router module?"),
        text(1040, 85, 15, 200, 10, "Please select the boot file you wish to download."),
        text(1041, 85, 35, 45, 10, "tarvelboot.dmf :"),
        edit(1042, 135, 35, 125, 12, kEditStyle),
        button(1043, 265, 35, 40, 15, "Browse"),
        text(1044, 85, 60, 210, 10, "Please select the code file you wish to download."),
        text(1045, 85, 80, 45, 10, "tarvel.dmf :"),
        edit(1046, 135, 80, 125, 12, kEditStyle),
        button(1047, 265, 80, 40, 15, "Browse"),
    });

    t[152] = page(152, 322, {
        picture(1048, 0, 0, 85, 140),
        text(1009, 85, 0, 205, 10, "How to upgrade the Tarvel router module?"),
        text(1049, 85, 15, 220, 50,
             "Please disconnect all expansion units from the Tarvel router module before you continue.\n\nThere is "
             "a danger that the upgrade process might cause your configuration information to be lost. You should "
             "make an off-line copy now."),
        text(kStaticId, 85, 75, 225, 10, "Do you wish to Erase all current device configuration information?"),
        radio(1050, 85, 90, 170, 10, "Yes, erase all device configuration information", kGroup | kTabStop),
        radio(1051, 85, 105, 90, 8, "No (Recommended)"),
    });

    t[153] = page(153, 322, {
        picture(1052, 0, 0, 95, 125),
        text(1009, 85, 0, 150, 10, "Upgrade result."),
        text(1054, 85, 15, 235, 20,
             "The Tarvel router module was not successfully upgraded to version x.x.x of the firmware."),
        text(1055, 85, 50, 140, 10, "Click the Details button for more information."),
        button(1056, 230, 45, 40, 15, "Details"),
        text(1057, 85, 80, 170, 30,
             "Click the Finish button when you are done.\n\nClick Back if you wish to re-attempt the upgrade."),
    });

    t[154] = page(154, 322, {
        picture(1053, 0, 0, 85, 140),
        text(1009, 85, 0, 205, 10, "Firmware upgrade completed."),
        text(1058, 85, 20, 225, 20,
             "The Tarvel router module has been successfully upgraded to version x.x.x of the firmware."),
        text(1059, 85, 65, 225, 10, "Click the Finish button when you are done."),
    });

    {
        DialogTemplate d;
        d.id = 155;
        d.caption = "Upgrading the Tarvel router module using ZModem.";
        d.width = 287;
        d.height = 135;
        constexpr unsigned kCount = kReadOnly | kBorder | kAutoHScroll;
        constexpr unsigned kPath = kDisabled | kBorder | kAutoHScroll;
        d.controls = {
            text(1062, 5, 5, 30, 10, "Status :"),
            edit(1061, 50, 5, 230, 12, kReadOnly | kBorder),
            text(1060, 5, 30, 35, 8, "Boot File :"),
            edit(1063, 50, 30, 230, 12, kPath),
            text(1064, 5, 55, 35, 10, "Progress :"),
            {1065, ControlKind::ProgressBar, {50, 55, 145, 10}, "", kBorder, 0},
            edit(1067, 205, 55, 75, 10, kCount),
            text(1071, 5, 75, 35, 10, "Code File:"),
            edit(1072, 50, 75, 230, 12, kPath),
            text(1066, 5, 100, 35, 10, "Progress :"),
            {1068, ControlKind::ProgressBar, {50, 100, 145, 10}, "", kBorder, 0},
            edit(1069, 205, 100, 75, 10, kCount),
            button(1, 110, 115, 70, 15, "Downloading...", kDisabled | kTabStop),
        };
        t[155] = d;
    }

    {
        DialogTemplate d;
        d.id = 171;
        d.caption = res::kUtilityCaption;
        d.width = 387;
        d.height = 191;
        d.controls = {
            text(1073, 5, 5, 375, 15,
                 "IMPORTANT:\tBefore using this software please read the following. Using the software indicates "
                 "that you agree to the\n\t\tterms set forth below."),
            button(1, 115, 170, 50, 15, "'I accept'"),
            button(2, 225, 170, 50, 15, "'I reject'"),
            {1079, ControlKind::RichEdit, {5, 30, 375, 135}, "",
             kMultiLine | kReadOnly | kBorder | kVScroll | kDisableNoScroll | kTabStop, 0},
        };
        t[171] = d;
    }
    return t;
}

}  // namespace

namespace res {

const ui::DialogTemplate* findDialog(int id)
{
    static const std::map<int, DialogTemplate> all = build();
    auto it = all.find(id);
    return it == all.end() ? nullptr : &it->second;
}

}  // namespace res
