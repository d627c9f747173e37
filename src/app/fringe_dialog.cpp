// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fringe_dialog.h"

#include <QKeyEvent>

#include "app/busy_cursor.h"
#include "app/design.h"

namespace hueline::app {

namespace {
constexpr int kEditLefts[3] = {56, 120, 184};
constexpr int kEditTops[3] = {32, 72, 104};
constexpr QSize kEditSize(25, 21);
constexpr int kButtonTop = 152;
constexpr QSize kButtonSize(45, 25);
}  // namespace

FringeDialog::FringeDialog(Workspace& ws, const Kernel& defaults, const Design& design, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ws_(ws),
      defaults_(defaults) {
    setWindowTitle(QString::fromLatin1(design.caption));
    setFont(designFont());
    setModal(false);
    setSizeGripEnabled(false);

    QLineEdit** boxes[9] = {&Edit1, &Edit2, &Edit3, &Edit4, &Edit5, &Edit6, &Edit7, &Edit8, &Edit9};
    for (int i = 0; i < 9; ++i) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
        e->setGeometry(QRect(QPoint(kEditLefts[i % 3], kEditTops[i / 3]), kEditSize));
        e->setText(QString::number(defaults_[std::size_t(i)]));
        *boxes[i] = e;
    }
    auto makeButton = [this](const char* name, const char* caption, int left) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(QRect(QPoint(left, kButtonTop), kButtonSize));
        // No default button: Enter in a box applies nothing by itself.
        b->setAutoDefault(false);
        return b;
    };
    Button1 = makeButton("Button1", design.applyCaption, 48);
    Button2 = makeButton("Button2", "Undo", 112);
    Button3 = makeButton("Button3", "Reset", 176);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &FringeDialog::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &FringeDialog::Button3Click);

    setFixedSize(design.clientSize);
    move(design.position);
}

std::array<QLineEdit*, 9> FringeDialog::edits() const {
    return {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9};
}

std::array<std::string, 9> FringeDialog::coefficientTexts() const {
    std::array<std::string, 9> texts;
    const auto boxes = edits();
    for (std::size_t i = 0; i < 9; ++i) texts[i] = boxes[i]->text().toStdString();
    return texts;
}

void FringeDialog::bringUp() {
    // Shown again after the user left the focus in a box, it still opens
    // on the apply button; the focus stays where it is when it was open.
    if (!isVisible()) Button1->setFocus();
    show();
    raise();
    activateWindow();
}

void FringeDialog::Button2Click() {
    const BusyCursor busy;
    ws_.undo();
}

void FringeDialog::Button3Click() {
    const auto boxes = edits();
    for (std::size_t i = 0; i < 9; ++i) boxes[i]->setText(QString::number(defaults_[i]));
}

void FringeDialog::setTabOrderOf(std::initializer_list<QWidget*> chain) {
    QWidget* previous = nullptr;
    for (QWidget* w : chain) {
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
    if (chain.size() > 0) (*chain.begin())->setFocus();
}

// Enter on a focused button clicks it, as Space does; in a box it does
// nothing, since no button is the default.
void FringeDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
            return;
        }
    QDialog::keyPressEvent(event);
}

}  // namespace hueline::app
