#include "app/popups/OkCancelRow.h"

#include <QHBoxLayout>

#include "ui/NVButton.h"
#include "ui/NVDialog.h"

QHBoxLayout* CreateOkCancelRow(CNVDialog& dialog, CNVButton& ok, CNVButton& cancel)
{
    auto* row = new QHBoxLayout();
    row->addStretch();
    for (auto [button, id, text] : {std::tuple{&ok, IDOK, "OK"}, std::tuple{&cancel, IDCANCEL, "Cancel"}})
    {
        button->setParent(&dialog);
        button->setText(QString::fromLatin1(text));
        button->setAutoDefault(false);
        CNVDialog::SetDlgCtrlID(button, static_cast<UINT>(id));
        QObject::connect(button, &QPushButton::clicked, &dialog,
                         [&dialog, command = static_cast<UINT>(id)] { dialog.SendCommand(command); });
        row->addWidget(button);
    }
    ok.setDefault(true);
    return row;
}
