#include "app/popups/PopupButtons.h"

#include <QBoxLayout>
#include <QHBoxLayout>

QHBoxLayout* MakePopupButtonRow(CNVDialog& dialog, std::initializer_list<sPopupButton> buttons)
{
    auto* row = new QHBoxLayout();
    row->addStretch();
    for (const sPopupButton& entry : buttons)
    {
        entry.button->setParent(&dialog);
        entry.button->setText(QString::fromLatin1(entry.text));
        entry.button->setAutoDefault(false);
        CNVDialog::SetDlgCtrlID(entry.button, entry.id);
        QObject::connect(entry.button, &QPushButton::clicked, &dialog,
                         [&dialog, command = entry.id] { dialog.SendCommand(command); });
        row->addWidget(entry.button);
    }
    return row;
}

void AddPopupButtonRow(CNVDialog& dialog, QBoxLayout& layout, std::initializer_list<sPopupButton> buttons)
{
    layout.addLayout(MakePopupButtonRow(dialog, buttons));
}

QHBoxLayout* MakeOkCancelRow(CNVDialog& dialog, CNVButton& ok, CNVButton& cancel)
{
    QHBoxLayout* row = MakePopupButtonRow(dialog, {{&ok, IDOK, "OK"}, {&cancel, IDCANCEL, "Cancel"}});
    ok.setDefault(true);
    return row;
}
