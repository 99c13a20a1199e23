// The four sensor pages of the diagnostics window: read-only calibration details of the optical
// DO, conductivity, level and pH/ORP sensors. Each page reads its values the first time it is
// shown and keeps them for the life of the window; a page without its sensor stays empty.
#pragma once

#include <vector>

#include <QLabel>

#include "app/pages/DiagnosticsReads.h"
#include "connection/ProbeConnection.h"
#include "ui/NVDialog.h"

class CCtrlPage_DiagsBase : public CNVDialog
{
    Q_OBJECT

public:
    // One labelled field; a field with kGroup starts a titled group (its label is the title), and
    // kColumnBreak starts the second column.
    struct sField
    {
        UINT id;
        const char16_t* label;
        UINT labelId = 0;
        bool multiLine = false;
    };
    static constexpr UINT kGroup = 0;
    static constexpr UINT kColumnBreak = 1;

    CCtrlPage_DiagsBase(UINT nIDTemplate, std::vector<sField> fields);

    // Reads the values once, when the page's sensor is there; TRUE when the page is filled.
    BOOL Fill(CProbeConnection& connection);
    BOOL IsFilled() const { return m_bFilled; }
    // The text of the edit with the id (empty when none).
    QString GetFieldText(UINT id) const;
    // The field or label with the id anywhere on the page; null when none.
    QWidget* FindControl(UINT id) const;

protected:
    BOOL OnInitDialog() override;
    // Enter and Esc belong to the diagnostics window (OK, Cancel): a page passes them on instead
    // of swallowing them as an embedded dialog otherwise does.
    void keyPressEvent(QKeyEvent* event) override;
    // The page's values; nothing when its sensor is not there.
    virtual std::optional<DiagnosticTexts> Read(CProbeConnection& connection) = 0;
    virtual void Show(const DiagnosticTexts& texts);

private:
    std::vector<sField> m_Fields;
    BOOL m_bFilled = FALSE;
};

class CCtrlPage_DiagsVOX : public CCtrlPage_DiagsBase
{
    Q_OBJECT

public:
    CCtrlPage_DiagsVOX();

protected:
    std::optional<DiagnosticTexts> Read(CProbeConnection& connection) override;
    void Show(const DiagnosticTexts& texts) override;
};

class CCtrlPage_DiagsCond : public CCtrlPage_DiagsBase
{
    Q_OBJECT

public:
    CCtrlPage_DiagsCond();

protected:
    std::optional<DiagnosticTexts> Read(CProbeConnection& connection) override;
};

class CCtrlPage_DiagsLevel : public CCtrlPage_DiagsBase
{
    Q_OBJECT

public:
    CCtrlPage_DiagsLevel();

protected:
    std::optional<DiagnosticTexts> Read(CProbeConnection& connection) override;
};

class CCtrlPage_DiagsPHORP : public CCtrlPage_DiagsBase
{
    Q_OBJECT

public:
    CCtrlPage_DiagsPHORP();

protected:
    std::optional<DiagnosticTexts> Read(CProbeConnection& connection) override;
};
