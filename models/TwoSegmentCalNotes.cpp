#include "models/TwoSegmentCalNotes.h"

namespace NVSystem
{

namespace
{

constexpr uint16_t kVersion = 0;
constexpr StringId IDS_SENSOR_SN = 10603;

// The calibration counts of one segment; from 3 on a second segment exists.
constexpr USHORT kOneSegmentCounts = 2;

constexpr sTwoSegmentLabels kPhLabels{10671, 10672, 10673, 10674, 10675};
constexpr sTwoSegmentLabels kNitrateLabels{10727, 10728, 10729, 10730, 10731};
constexpr sTwoSegmentLabels kChlorideLabels{10732, 10733, 10734, 10735, 10736};
constexpr sTwoSegmentLabels kAmmoniumLabels{10737, 10738, 10739, 10740, 10741};
constexpr sTwoSegmentLabels kRhodamineLabels{10767, 10768, 10769, 10770, 10771};
constexpr sTwoSegmentLabels kChlorophyllLabels{10772, 10773, 10774, 10775, 10776};
constexpr sTwoSegmentLabels kBgaPeLabels{10797, 10773, 10774, 10775, 10776};
constexpr sTwoSegmentLabels kBgaPcLabels{10801, 10773, 10774, 10775, 10776};

} // namespace

CNVUserNote_Calibrate_pH::CNVUserNote_Calibrate_pH() : CNVTwoSegmentCalNote(kSubType, kPhLabels) {}
CNVUserNote_Calibrate_Nitrate::CNVUserNote_Calibrate_Nitrate()
    : CNVTwoSegmentCalNote(kSubType, kNitrateLabels)
{
}
CNVUserNote_Calibrate_Chloride::CNVUserNote_Calibrate_Chloride()
    : CNVTwoSegmentCalNote(kSubType, kChlorideLabels)
{
}
CNVUserNote_Calibrate_Ammonium::CNVUserNote_Calibrate_Ammonium()
    : CNVTwoSegmentCalNote(kSubType, kAmmoniumLabels)
{
}
CNVUserNote_Calibrate_Rhodamine_WT::CNVUserNote_Calibrate_Rhodamine_WT()
    : CNVTwoSegmentCalNote(kSubType, kRhodamineLabels)
{
}
CNVUserNote_Calibrate_ChlorophyllA::CNVUserNote_Calibrate_ChlorophyllA()
    : CNVTwoSegmentCalNote(kSubType, kChlorophyllLabels)
{
}
CNVUserNote_Calibrate_BGA_PE::CNVUserNote_Calibrate_BGA_PE() : CNVTwoSegmentCalNote(kSubType, kBgaPeLabels) {}
CNVUserNote_Calibrate_BGA_PC::CNVUserNote_Calibrate_BGA_PC() : CNVTwoSegmentCalNote(kSubType, kBgaPcLabels) {}

HRESULT CNVTwoSegmentCalNote::Build(ULONG serial, USHORT calibrationCount, float slope1, float offset1,
                                    float slope2, float offset2)
{
    CPayloadWriter writer = BeginBuild(m_nSubType, kVersion, serial);
    writer.Write(calibrationCount, slope1, offset1, slope2, offset2);
    FinishBuild(writer);
    m_nCalibrationCount = calibrationCount;
    m_fSlope1 = slope1;
    m_fOffset1 = offset1;
    m_fSlope2 = slope2;
    m_fOffset2 = offset2;
    return S_OK;
}

HRESULT CNVTwoSegmentCalNote::Load(const CNVLogNotesRecord& record)
{
    return LoadFields(record, m_nSubType, kMinimumPayload, m_nCalibrationCount, m_fSlope1, m_fOffset1,
                      m_fSlope2, m_fOffset2);
}

void CNVTwoSegmentCalNote::Reset()
{
    CNVUserNote::Reset();
    m_nCalibrationCount = 0;
    m_fSlope1 = 0.0f;
    m_fOffset1 = 0.0f;
    m_fSlope2 = 0.0f;
    m_fOffset2 = 0.0f;
}

CWideString CNVTwoSegmentCalNote::GetTypeName() const
{
    const CWideString title = NoteLabel(m_Labels.title);
    const CWideString serialLabel = NoteLabel(IDS_SENSOR_SN);
    const CWideString segment1 = NoteLabel(m_Labels.segment1);
    const CWideString segment2 = NoteLabel(m_Labels.segment2);
    const CWideString slope = NoteLabel(m_Labels.slope);
    const CWideString offset = NoteLabel(m_Labels.offset);
    CWideString text;
    if (m_nCalibrationCount <= kOneSegmentCounts)
        text.Format(u"%s\n%s: %u\n%s:\n%s: %g  %s: %g", NoteText(title), NoteText(serialLabel),
                    m_nSerialNumber, NoteText(segment1), NoteText(slope), double{m_fSlope1}, NoteText(offset),
                    double{m_fOffset1});
    else
        text.Format(u"%s\n%s: %u\n%s:\n%s: %g  %s: %g\n%s:\n%s: %g  %s: %g", NoteText(title),
                    NoteText(serialLabel), m_nSerialNumber, NoteText(segment1), NoteText(slope),
                    double{m_fSlope1}, NoteText(offset), double{m_fOffset1}, NoteText(segment2),
                    NoteText(slope), double{m_fSlope2}, NoteText(offset), double{m_fOffset2});
    return text + UserNamePart(u"   %s: %s");
}

} // namespace NVSystem
