#include "platform/qt/ControlFactory.h"

#include "platform/qt/DialogKeys.h"
#include "platform/qt/QtAccess.h"
#include "platform/ui/Resources.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

namespace ui {

namespace {

QWidget* makeWidget(QWidget* parent, const ControlTemplate& c)
{
    const QString text = QString::fromLatin1(c.text.data(), static_cast<qsizetype>(c.text.size()));
    switch (c.kind) {
    case ControlKind::Static: {
        auto* l = new QLabel(parent);
        l->setTextFormat(Qt::PlainText);
        l->setText(text);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    }
    case ControlKind::Edit: {
        auto* e = new QLineEdit(parent);
        e->setText(text);
        e->setFrame((c.style & kBorder) != 0);
        e->setReadOnly((c.style & kReadOnly) != 0);
        if (c.style & kPassword)
            e->setEchoMode(QLineEdit::Password);
        return e;
    }
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* b = new QPushButton(text, parent);
        b->setDefault(c.kind == ControlKind::DefPushButton);
        return b;
    }
    case ControlKind::AutoRadio: {
        auto* r = new QRadioButton(text, parent);
        r->setAutoExclusive(true);
        return r;
    }
    case ControlKind::GroupBox:
        return new QGroupBox(text, parent);
    case ControlKind::Picture: {
        auto* l = new QLabel(parent);
        l->setPixmap(QPixmap::fromImage(qt::toQImage(res::loadBitmap(c.bitmapId))));
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    }
    case ControlKind::ProgressBar: {
        auto* p = new QProgressBar(parent);
        p->setTextVisible(false);
        // A marquee bar is the toolkit's busy bar, which an empty range gives.
        p->setRange(0, (c.style & kMarquee) ? 0 : 100);
        p->setValue(0);
        return p;
    }
    case ControlKind::RichEdit: {
        auto* t = new QTextEdit(parent);
        t->setReadOnly(true);
        t->setAcceptRichText(false);
        t->setPlainText(text);
        t->setVerticalScrollBarPolicy((c.style & kDisableNoScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
        t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        t->setLineWrapMode(QTextEdit::WidgetWidth);
        return t;
    }
    }
    return new QWidget(parent);
}

}  // namespace

QWidget* createControl(QWidget* parent, const ControlTemplate& c, const DialogUnits& units, const QFont& font)
{
    QWidget* w = makeWidget(parent, c);
    w->setFont(font);
    const PixelRect px = units.toPixels(c.rect);
    QRect r(px.x, px.y, px.width, px.height);
    if (c.kind == ControlKind::Picture) {
        // A picture control takes the size of its bitmap, whatever the template says.
        const auto* l = static_cast<QLabel*>(w);
        r.setSize(l->pixmap().size());
    }
    w->setGeometry(r);
    w->setProperty(kControlIdProperty, c.id);
    qt::markControl(w, c.kind, c.style);
    if (c.id != kStaticId)
        w->setObjectName(QString::number(c.id));
    const bool tab = (c.style & kTabStop) != 0;
    if (c.kind == ControlKind::Static || c.kind == ControlKind::Picture || c.kind == ControlKind::GroupBox ||
        c.kind == ControlKind::ProgressBar)
        w->setFocusPolicy(Qt::NoFocus);
    else if (!tab && (c.kind == ControlKind::Edit || c.kind == ControlKind::RichEdit))
        w->setFocusPolicy(Qt::ClickFocus);
    w->setEnabled((c.style & kDisabled) == 0);
    w->setVisible((c.style & kHidden) == 0);
    return w;
}

std::vector<QWidget*> createControls(QWidget* parent, const DialogTemplate& tpl, const DialogUnits& units,
                                     const QFont& font)
{
    std::vector<QWidget*> made;
    made.reserve(tpl.controls.size());
    for (const auto& c : tpl.controls)
        made.push_back(createControl(parent, c, units, font));
    return made;
}

QWidget* controlById(const QWidget* root, int id)
{
    if (!root || id == kStaticId)
        return nullptr;
    const auto children = root->findChildren<QWidget*>(QString::number(id));
    for (QWidget* w : children)
        if (controlId(w) == id)
            return w;
    return nullptr;
}

int controlId(const QWidget* w)
{
    if (!w)
        return kStaticId;
    const QVariant v = w->property(kControlIdProperty);
    return v.isValid() ? v.toInt() : kStaticId;
}

}  // namespace ui
