// The commit of every kind asks the probe connection for the report's lines while the calibration
// data's own lock is free: the connection's lock comes before it.
#include <future>

#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "calibration/wizard/DlgWizFrameCalPHORP.h"
#include "calibration/wizard/DlgWizFrameCalVOX.h"
#include "tests/calibration_wizard/WizardTestSupport.h"

namespace wiztest
{
namespace
{

// The application's connection, asked for the probe type from another thread's view: that thread
// takes the data lock, which it gets only while the asking thread does not hold it.
class WatchingConnection : public CProbeCalConnection
{
public:
    WatchingConnection() : CProbeCalConnection(theProbeConnection) {}
    ~WatchingConnection() override
    {
        if (m_taker.valid())
            m_taker.wait();
    }

    CWideString GetDeviceTypeName() override
    {
        if (watched != nullptr && !m_taker.valid())
        {
            m_taker = std::async(std::launch::async, [data = watched] { data->ResetPointSampleCount(); });
            dataLockFree = m_taker.wait_for(2s) == std::future_status::ready;
        }
        return CProbeCalConnection::GetDeviceTypeName();
    }

    CCalData* watched = nullptr;
    bool dataLockFree = false;

private:
    std::future<void> m_taker;
};

class LockOrder : public WizardTest
{
protected:
    void SetUp() override
    {
        m_dials.temperature.Set(25.0f);
        m_dials.actualConductivity.Set(1200.0f);
        StartConnected();
    }

    // Runs the wizard over the watching connection up to its summary.
    template <class TFrame, class TSensor>
    void CommitThrough(TSensor* sensor, void (*toStabilization)(CDlgWizFrame_Cal&))
    {
        ASSERT_NE(sensor, nullptr);
        WatchingConnection connection;
        {
            TFrame frame(nullptr, connection);
            connection.watched = frame.m_pCalData;
            frame.AddPages();
            frame.StartReading(sensor);
            testsupport::RunModal(
                frame,
                [&frame, toStabilization]
                {
                    toStabilization(frame);
                    AcceptUntilSummary(frame);
                    ClickFinish(frame);
                },
                30s);
        }
        EXPECT_TRUE(connection.dataLockFree);
    }
};

TEST_F(LockOrder, ConductivityCommitAsksTheConnectionWithItsDataLockFree)
{
    NVSystem::ISensor_Conductivity* sensor = nullptr;
    theProbeConnection.GetConductivitySensor(sensor);
    CommitThrough<CDlgWizFrame_CalConductivity>(
        sensor,
        [](CDlgWizFrame_Cal& frame)
        {
            ASSERT_TRUE(testsupport::WaitUntil([&frame] { return frame.GetNextButton().isEnabled(); }));
            ClickNext(frame);
        });
}

TEST_F(LockOrder, OrpCommitAsksTheConnectionWithItsDataLockFree)
{
    NVSystem::ISensor_pHORP* sensor = nullptr;
    theProbeConnection.GetPHORPSensor(sensor);
    CommitThrough<CDlgWizFrame_CalPHORP>(
        sensor,
        [](CDlgWizFrame_Cal& frame)
        {
            auto& wizard = dynamic_cast<CDlgWizFrame_CalPHORP&>(frame);
            Click(wizard.SelectPage().ORPOption());
            ClickNext(frame);
            ASSERT_TRUE(testsupport::WaitUntil([&frame] { return frame.GetNextButton().isEnabled(); }));
            ClickNext(frame);
        });
}

TEST_F(LockOrder, OpticalDoCommitAsksTheConnectionWithItsDataLockFree)
{
    NVSystem::ISensor_VoxPro* sensor = nullptr;
    theProbeConnection.GetVoxProSensor(sensor);
    CommitThrough<CDlgWizFrame_CalVOX>(sensor,
                                       [](CDlgWizFrame_Cal& frame)
                                       {
                                           for (int page = 0; page < 3; ++page)
                                               ClickNext(frame);
                                       });
}

} // namespace
} // namespace wiztest
