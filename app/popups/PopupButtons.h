// The OK and Cancel row at the foot of a popup: right-aligned, OK the default button, each sending
// its command to the popup.
#pragma once

#include <QHBoxLayout>

#include "ui/NVButton.h"
#include "ui/NVDialog.h"

inline QHBoxLayout* MakeOkCancelRow(CNVDialog& popup, CNVButton& ok, CNVButton& cancel)
{
    auto* row = new QHBoxLayout();
    row->addStretch();
    for (const auto& [button, id, text] :
         {std::tuple{&ok, IDOK, "OK"}, std::tuple{&cancel, IDCANCEL, "Cancel"}})
    {
        button->setParent(&popup);
        button->setText(QString::fromLatin1(text));
        CNVDialog::SetDlgCtrlID(button, id);
        QObject::connect(button, &QPushButton::clicked, &popup,
                         [&popup, command = static_cast<UINT>(id)] { popup.SendCommand(command); });
        row->addWidget(button);
    }
    ok.setDefault(true);
    return row;
}
