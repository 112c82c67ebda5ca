#include "TfrmSelectProgramming.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kovra {

TfrmSelectProgramming::TfrmSelectProgramming(QWidget *parent) : TBaseForm(parent)
{
    setObjectName(QStringLiteral("TfrmSelectProgramming"));
    setCaption(QStringLiteral("Select Programming"));
    auto *text = new QLabel(QStringLiteral("\nYou have made changes to the Kovra Account. Would you like \n"
                                           "to perform programming of the Kovra?"),
                            this);
    text->setObjectName(QStringLiteral("lblQuestion"));
    text->setAlignment(Qt::AlignCenter);
    auto *program = new QPushButton(QStringLiteral("Kovra P&rogramming"), this);
    program->setObjectName(QStringLiteral("btnProgramming"));
    program->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    connect(program, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(program);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto *l = new QVBoxLayout(this);
    l->addWidget(text);
    l->addSpacing(8);
    l->addLayout(buttons);
    setModal(true);
}

} // namespace kovra
