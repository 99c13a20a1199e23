// What the SDI-12 setup popup and its parameter picker read, edit and write, without the windows:
// the probe's SDI-12 address character and the ordered list of readings it answers with on the
// SDI-12 bus, kept on the probe as its parameter set (device file 65003).
//
// A reading stands in the set as its sensor connection and parameter number; the lists show the
// readings the probe offers (the first temperature, then every other reading), and the picker
// tells readings apart by sensor id and parameter id, as every parameter list of the program does.
#pragma once

#include "connection/ProbeConnection.h"
#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/Sdi12ParameterFile.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

// Exactly one address character.
BOOL IsSdi12AddressText(const CWideString& text);
// What the address edit keeps of a typed text: the typed text when it is empty or one address
// character, the text before the change otherwise.
CWideString CleanSdi12AddressText(const CWideString& previous, const CWideString& typed);

// The label of a reading in the lists.
CWideString Sdi12ParameterLabel(const sParameterReading& reading);

// Reads the probe's parameter set through a temporary file, which is deleted again. A probe whose
// file is empty has no configuration yet: an empty set at address '0'. E_FAIL without a connected
// probe.
HRESULT ReadSdi12ParameterSet(CProbeConnection& connection, sParameterSet& set);

enum class ESdi12LoadStep
{
    None,
    Connections,  // "Failed to get active connections."
    Parameters,   // "Failed to read parameter set" (a sensor's readings)
    ParameterSet, // "Failed to read parameter set" (the probe's file)
};

struct sSdi12LoadOutcome
{
    ESdi12LoadStep FailedStep = ESdi12LoadStep::None;
    HRESULT Result = S_OK;

    BOOL Succeeded() const { return FailedStep == ESdi12LoadStep::None ? TRUE : FALSE; }
};

class CSdi12Setup
{
public:
    explicit CSdi12Setup(CProbeConnection& connection = theProbeConnection);

    // Reads the offered readings and the probe's set: the address text becomes the set's address
    // character (empty when the file holds none that SDI-12 allows), and the chosen readings are the
    // offered readings of the set's pairs in the set's order. A pair that no offered reading stands
    // for (a sensor absent now, a second temperature) is left out of the list but kept for the
    // write. Everything is emptied first.
    sSdi12LoadOutcome Load();
    // The offered readings of the probe as they are now.
    sSdi12LoadOutcome ReadOfferedReadings(CDynArray<sParameterReading>& offered);

    const CWideString& GetAddressText() const { return m_strAddress; }
    void SetAddressText(const CWideString& text) { m_strAddress = text; }
    const CDynArray<sParameterReading>& Offered() const { return m_Offered; }
    const CDynArray<sParameterReading>& Chosen() const { return m_Chosen; }
    void SetChosen(const CDynArray<sParameterReading>& chosen) { m_Chosen = chosen; }
    // The loaded set's pairs, in the file's order.
    const CDynArray<sParamSelection>& LoadedSelections() const { return m_Loaded; }

    // Moves a chosen reading one place; FALSE (nothing moved) at the end it would leave.
    BOOL MoveUp(int index);
    BOOL MoveDown(int index);

    // The pairs to write: the chosen readings' pairs in order, and the loaded pairs the list could
    // not show, each at its place in the loaded set (the user cannot have removed what was never
    // shown). Where fewer chosen readings come before a hidden pair than did in the set, it moves
    // up with them; one that has since been chosen is written once, where the user put it.
    CDynArray<sParamSelection> GetSelections() const;
    // Uploads the pairs with the address text's first character; the connection refuses an
    // address that SDI-12 does not allow.
    HRESULT Write();

private:
    BOOL Swap(uint32_t first);
    bool IsChosen(const sParamSelection& pair) const;

    CProbeConnection& m_Connection;
    CWideString m_strAddress;
    CDynArray<sParamSelection> m_Loaded;
    CDynArray<uint32_t> m_Hidden; // the places in m_Loaded of the pairs the list cannot show
    CDynArray<sParameterReading> m_Offered;
    CDynArray<sParameterReading> m_Chosen;
};

// The picker: the offered readings with a check each, and the chosen readings it hands back.
class CSdi12ParameterPicker
{
public:
    // The chosen readings are the result to start from; the offered ones are put in their order.
    void Init(const CDynArray<sParameterReading>& offered, const CDynArray<sParameterReading>& chosen);

    const CDynArray<sParameterReading>& Offered() const { return m_Offered; }
    // Whether an offered reading is among the chosen ones.
    BOOL IsChosen(uint32_t offered) const;

    // The checks (one per offered reading, in order) become the result: chosen readings no longer
    // checked leave it, the others keep their order, and newly checked readings follow in the order
    // of the list. FALSE, nothing changed, when nothing is checked.
    BOOL Accept(const CDynArray<BOOL>& checks);
    const CDynArray<sParameterReading>& Result() const { return m_Result; }
    BOOL IsChanged() const { return m_bChanged; }

private:
    CDynArray<sParameterReading> m_Offered;
    CDynArray<sParameterReading> m_Result;
    BOOL m_bChanged = FALSE;
};
