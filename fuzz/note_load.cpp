// Note records come back from instrument logs: a record of any content must load into each
// user-note class or be refused with one of the documented codes, never read past its payload, and
// describe itself afterwards.
//
// Input: u8 note type, u8 sub-type, u16 flags (big-endian), then the payload.
//
// The descriptions look their labels up in the system string table. The harness builds that table
// once from the built-in texts in id order, where every lookup goes straight to its entry: through
// the built-in order each lookup searches the table, which cost the fuzzer more than the notes. The
// texts are the same either way.
#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "foundation/ResultCodes.h"
#include "foundation/SystemStrings.h"
#include "fuzz/FuzzCheck.h"
#include "models/UserNotes.h"

namespace
{

bool IsDocumentedLoadResult(HRESULT hr)
{
    return hr == S_OK || hr == E_FAIL || hr == LOGFILE_E_INVALID_NOTE_TYPE ||
           hr == LOGNOTES_E_INVALID_USER_NOTE_SUBTYPE || hr == E_BUFFER_EXTRACTION_OVERRUN;
}

std::vector<std::unique_ptr<NVSystem::CNVStdNote>> EveryNote()
{
    using namespace NVSystem;
    std::vector<std::unique_ptr<CNVStdNote>> notes;
    notes.push_back(std::make_unique<CNVStdNote>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_TDSFactor>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_Conductivity>());
    notes.push_back(std::make_unique<CNVUserNote_SpecCondCurve>());
    notes.push_back(std::make_unique<CNVUserNote_SensorMeasCacheTO>());
    notes.push_back(std::make_unique<CNVUserNote_NewSpecificGravFactor>());
    notes.push_back(std::make_unique<CNVUserNote_NewSpecificGravity>());
    notes.push_back(std::make_unique<CNVUserNote_Calibration_ZeroPressureSensor>());
    notes.push_back(std::make_unique<CNVUserNote_RestoreFactoryCal_Sensor>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_SetNewLevelRef>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_SetNewHeadRef>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_Turbidity>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_VOX>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_pH>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_ORP>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_Nitrate>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_Chloride>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_Ammonium>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_Rhodamine_WT>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_ChlorophyllA>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_BGA_PE>());
    notes.push_back(std::make_unique<CNVUserNote_Calibrate_BGA_PC>());
    return notes;
}

bool LoadTextsInIdOrder()
{
    std::array<SystemStringEntry, SYSTEM_STRING_COUNT> texts;
    std::copy(std::begin(g_SystemStrings_English), std::end(g_SystemStrings_English), texts.begin());
    std::sort(texts.begin(), texts.end(),
              [](const SystemStringEntry& a, const SystemStringEntry& b) { return a.id < b.id; });
    return SetSystemStringTable(texts) == S_OK;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool texts = LoadTextsInIdOrder();
    Check(texts);
    if (size < 4 || size > 0x10000)
        return 0;
    NVSystem::CNVLogNotesRecord record;
    record.m_nNoteType = data[0];
    record.m_nSubType = data[1];
    record.m_nSubCode = data[1];
    record.m_nFlags = static_cast<uint16_t>(data[2] << 8 | data[3]);
    const auto payloadLength = static_cast<uint32_t>(size - 4);
    Check(record.m_Payload.Append(payloadLength, data + 4));

    for (const auto& note : EveryNote())
    {
        const HRESULT hr = note->Load(record);
        Check(IsDocumentedLoadResult(hr));
        // Whatever the outcome, the record is the one given and describes itself.
        Check(note->GetRecord().m_Payload.GetLength() == payloadLength);
        note->DescribeNote();
        CByteBuffer block;
        const HRESULT serialised = note->SerialiseNoteBlock(block);
        Check(record.m_nNoteType == NVSystem::NOTE_TYPE_USER
                  ? serialised == S_OK && block.GetLength() == size
                  : serialised == E_FAIL && block.GetLength() == 0);
        if (const auto* user = dynamic_cast<const NVSystem::CNVUserNote*>(note.get());
            user != nullptr && hr == S_OK)
        {
            // A user name is never longer than the payload could carry.
            Check(2 * user->GetUserName().GetLength() <= payloadLength);
        }
        note->Reset();
        Check(note->GetRecord().m_Payload.GetCapacity() == 0);
    }
    return 0;
}
