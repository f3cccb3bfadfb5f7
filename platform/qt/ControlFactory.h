#pragma once
// ControlFactory: builds the widgets of a DialogTemplate inside a parent widget, placed by
// DialogUnits, in template order (so later controls lie above earlier ones, as group boxes need).
// Every widget carries its control id twice: as objectName (the decimal id, e.g. "1009") and as
// the property "controlId"; controlById() finds it again (the GetDlgItem stand-in). Controls
// without an id (kStaticId) get no objectName.
//
// Kinds → widgets: Static → QLabel (word wrap, top-left); Edit → QLineEdit; PushButton →
// QPushButton; AutoRadio → QRadioButton (auto-exclusive among siblings); GroupBox → QGroupBox;
// Picture → QLabel with the bitmap at its own pixel size; ProgressBar → QProgressBar without text
// (kMarquee: the toolkit's busy bar);
// RichEdit → read-only QTextEdit, plain text, vertical scroll bar always shown.
// Every control gets the dialog's font at its one size: no text is shrunk to fit its box.
// kHidden controls are created hidden, kDisabled ones disabled.

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/DialogUnits.h"

#include <QFont>
#include <QWidget>

#include <vector>

namespace ui {

inline constexpr const char* kControlIdProperty = "controlId";

QWidget* createControl(QWidget* parent, const ControlTemplate& c, const DialogUnits& units, const QFont& font);
std::vector<QWidget*> createControls(QWidget* parent, const DialogTemplate& tpl, const DialogUnits& units,
                                     const QFont& font);

// The control with this id among the descendants of root, or nullptr.
QWidget* controlById(const QWidget* root, int id);
// A widget's control id, or kStaticId.
int controlId(const QWidget* w);

}  // namespace ui
