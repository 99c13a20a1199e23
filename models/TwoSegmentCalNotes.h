// The user notes of calibrations by one or two straight-line segments (payload version 0): pH and
// the ion-selective and optical sensors. They share one layout and differ in sub-type and labels:
//
//     u32 serial, u16 calibration count, f32 segment 1 slope, f32 segment 1 offset,
//     f32 segment 2 slope, f32 segment 2 offset, UserName
//
// Load takes 26 bytes at least (the fixed fields, the count and one code unit of the user name).
// The second segment is described only for a calibration count above 2.
#pragma once

#include "device/UserNote.h"

namespace NVSystem
{

struct sTwoSegmentLabels
{
    StringId title;
    StringId segment1;
    StringId segment2;
    StringId slope;
    StringId offset;
};

class CNVTwoSegmentCalNote : public CNVUserNote
{
public:
    static constexpr uint32_t kMinimumPayload = 26;

    HRESULT Build(ULONG serial, USHORT calibrationCount, float slope1, float offset1, float slope2,
                  float offset2);
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    CWideString GetTypeName() const override;

    USHORT GetCalibrationCount() const { return m_nCalibrationCount; }
    float GetSlope1() const { return m_fSlope1; }
    float GetOffset1() const { return m_fOffset1; }
    float GetSlope2() const { return m_fSlope2; }
    float GetOffset2() const { return m_fOffset2; }

protected:
    CNVTwoSegmentCalNote(uint32_t subType, const sTwoSegmentLabels& labels)
        : m_nSubType(subType), m_Labels(labels)
    {
    }

private:
    const uint32_t m_nSubType;
    const sTwoSegmentLabels m_Labels;
    USHORT m_nCalibrationCount = 0;
    float m_fSlope1 = 0.0f;
    float m_fOffset1 = 0.0f;
    float m_fSlope2 = 0.0f;
    float m_fOffset2 = 0.0f;
};

class CNVUserNote_Calibrate_pH : public CNVTwoSegmentCalNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_PH;
    CNVUserNote_Calibrate_pH();
};

class CNVUserNote_Calibrate_Nitrate : public CNVTwoSegmentCalNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_NITRATE;
    CNVUserNote_Calibrate_Nitrate();
};

class CNVUserNote_Calibrate_Chloride : public CNVTwoSegmentCalNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_CHLORIDE;
    CNVUserNote_Calibrate_Chloride();
};

class CNVUserNote_Calibrate_Ammonium : public CNVTwoSegmentCalNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_AMMONIUM;
    CNVUserNote_Calibrate_Ammonium();
};

class CNVUserNote_Calibrate_Rhodamine_WT : public CNVTwoSegmentCalNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_RHODAMINE_WT;
    CNVUserNote_Calibrate_Rhodamine_WT();
};

class CNVUserNote_Calibrate_ChlorophyllA : public CNVTwoSegmentCalNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_CHLOROPHYLL_A;
    CNVUserNote_Calibrate_ChlorophyllA();
};

class CNVUserNote_Calibrate_BGA_PE : public CNVTwoSegmentCalNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_BGA_PE;
    CNVUserNote_Calibrate_BGA_PE();
};

class CNVUserNote_Calibrate_BGA_PC : public CNVTwoSegmentCalNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_BGA_PC;
    CNVUserNote_Calibrate_BGA_PC();
};

} // namespace NVSystem
