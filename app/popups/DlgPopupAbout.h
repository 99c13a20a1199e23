// CDlgPopup_About: the About box, with the program icon, the version text the caller gives
// ("<application name> version <program version>") and an OK button.
#pragma once

#include <QString>

#include "ui/NVDialog.h"

inline constexpr UINT IDC_ABOUT_VERSION = 1280;

class CDlgPopup_About : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 100;

    explicit CDlgPopup_About(const QString& versionText, QWidget* pParentWnd = nullptr);

    const QString& GetVersionText() const { return m_strVersion; }

protected:
    BOOL OnInitDialog() override;

private:
    QString m_strVersion;
};
