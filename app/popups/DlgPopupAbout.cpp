#include "app/popups/DlgPopupAbout.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/main/AppIcon.h"

namespace
{

constexpr int kIconSize = 32;

} // namespace

CDlgPopup_About::CDlgPopup_About(const QString& versionText, QWidget* pParentWnd)
    : CNVDialog(kTemplateId, pParentWnd), m_strVersion(versionText)
{
}

BOOL CDlgPopup_About::OnInitDialog()
{
    setWindowTitle(QStringLiteral("About"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout();
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(kIconSize, kIconSize));
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* version = new QLabel(m_strVersion, this);
    SetDlgCtrlID(version, IDC_ABOUT_VERSION);
    row->addWidget(version, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    SetDlgCtrlID(buttons->button(QDialogButtonBox::Ok), IDOK);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { SendCommand(IDOK); });
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    CNVDialog::OnInitDialog();
    return TRUE;
}
