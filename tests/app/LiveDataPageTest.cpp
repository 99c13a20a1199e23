// The live data page against the simulated multi-sensor probe: the list after a connect, reading
// with and without the file, the data-log and parameter-selection popups, moving rows, the rate
// edit, and the ways a run ends (Stop, a failed line, leaving the page, disconnecting).
#include <QLineEdit>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/livedata/LiveDataSettings.h"
#include "app/livedata/PollSelection.h"
#include "app/popups/DlgPopupAbout.h"
#include "app/popups/DlgPopupConfigureDataLog.h"
#include "app/popups/DlgPopupSelectPollData.h"
#include "connection/AppProfile.h"
#include "tests/app/AppWindowTest.h"
#include "ui/QtText.h"
#include "ui/ThreadHandover.h"
#include "ui/WaitForWork.h"

namespace apptest
{
namespace
{

using namespace std::chrono_literals;
using Column = CCtrlPage_LiveData::EColumn;
using Page = CDlgFrame_TarnwickSoft::EPage;

constexpr uint16_t kMultiSensorProbe = 18;
constexpr uint16_t kConductivityConnection = 2;
constexpr uint16_t kDoTemperatureParameter = 2; // the DO sensor reports its concentration first
constexpr uint16_t kUserCalExpired = 1;
constexpr int kRows = 15; // DO 4, conductivity 6 (its temperature is off), level 2, pH/ORP 3

const QStringList kNames = {"Temperature",
                            "Dissolved Oxygen (concentration)",
                            "Dissolved Oxygen (%saturation)",
                            "Partial Pressure Oxygen",
                            "Actual Conductivity",
                            "Specific Conductivity",
                            "Salinity",
                            "Total Dissolved Solids",
                            "Resistivity",
                            "Water Density",
                            "Pressure",
                            "Depth",
                            "pH",
                            "pH(mV)",
                            "Oxidation Reduction Potential (ORP)"};

// Rounds come as fast as the page handles them: the worker waits a few milliseconds at most.
sLivePollClock QuickClock()
{
    sLivePollClock clock = sLivePollClock::System();
    clock.WaitForStop = [](platform::CEvent& stop, uint64_t ms)
    { return stop.Wait(std::min<uint64_t>(ms, 20)); };
    return clock;
}

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The file's lines, each split at its commas (none of the page's fields holds one).
std::vector<QStringList> FileRows(const std::string& text)
{
    std::vector<QStringList> rows;
    for (const QString& line : QString::fromStdString(text).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        rows.push_back(line.split(u','));
    return rows;
}

class LiveDataPageTest : public AppWindowTest
{
protected:
    CCtrlPage_LiveData& LivePage() { return MainWindow().LiveDataPage(); }

    // Connected to the probe started before (the multi-sensor probe unless one was), with the rows
    // and their first values shown.
    void Connect()
    {
        if (!m_bProbeStarted)
            StartProbe(kMultiSensorProbe);
        m_bProbeStarted = true;
        LivePage().SetPollClockForTests(QuickClock());
        // The page rebuilds its rows once it has been shown a moment; that is to be over first.
        ASSERT_TRUE(testsupport::WaitUntil([&] { return !LivePage().IsActivationPending(); }));
        ConnectByButton();
        ASSERT_TRUE(testsupport::WaitUntil(
            [&]
            {
                const int rows = LivePage().List().topLevelItemCount();
                return rows > 0 && !LivePage().CellText(rows - 1, Column::COLUMN_VALUE).isEmpty();
            }));
    }
    QStringList RowNames()
    {
        QStringList names;
        for (int row = 0; row < LivePage().List().topLevelItemCount(); ++row)
            names << LivePage().CellText(row, Column::COLUMN_PARAMETER);
        return names;
    }
    // The rows refreshed by that many rounds from now on.
    bool WaitForRounds(int rounds)
    {
        int seen = 0;
        QString last = LivePage().CellText(0, Column::COLUMN_VALUE);
        return testsupport::WaitUntil(
            [&]
            {
                // The simulated temperature moves with time: a new text is a new round.
                const QString now = LivePage().CellText(0, Column::COLUMN_VALUE);
                if (now != last)
                {
                    last = now;
                    ++seen;
                }
                return seen >= rounds;
            },
            std::chrono::milliseconds(10000));
    }
    void StartReadingToFile(const std::filesystem::path& folder, const QString& name)
    {
        LivePage().LogToFileBox().setChecked(true);
        OnNextModal(
            [folder, name](QWidget& modal)
            {
                auto* popup = dynamic_cast<CDlgPopup_ConfigureDataLog*>(&modal);
                ASSERT_NE(popup, nullptr);
                popup->FileNameEdit().setText(name);
                popup->FolderEdit().setText(QString::fromStdString(folder.string()));
                popup->UtcButton().setChecked(true);
                testsupport::SavePicture(modal, "LiveData.DataLogPopup");
                popup->SendCommand(IDOK);
            });
        LivePage().StartStopButton().click();
    }

    // Reading to the file in the configuration folder, once its first line is written; empty
    // when it never is.
    std::filesystem::path ReadToFileUntilItsFirstLine(const QString& name)
    {
        StartReadingToFile(m_config.Path(), name);
        const std::filesystem::path path = m_config.Path() / (name.toStdString() + ".csv");
        if (!testsupport::WaitUntil([&] { return LivePage().IsReading() != FALSE; }) ||
            !testsupport::WaitUntil([&] { return ReadAll(path).find('\n') != std::string::npos; }))
            return {};
        return path;
    }
    // Something that takes no line stands where the file was.
    static void BlockFile(const std::filesystem::path& path)
    {
        std::filesystem::remove(path);
        std::filesystem::create_directory(path);
    }

    void StartMultiSensorProbe()
    {
        StartProbe(kMultiSensorProbe);
        m_bProbeStarted = true;
    }

    bool m_bProbeStarted = false;
};

TEST_F(LiveDataPageTest, AfterConnectingTheChosenParametersShowTheirValuesUnitsAndDataCodes)
{
    StartMultiSensorProbe();
    Probe().Sensors().ForceQuality(1, kDoTemperatureParameter, kUserCalExpired);
    Connect();
    CCtrlPage_LiveData& page = LivePage();
    EXPECT_EQ(RowNames(), kNames);
    EXPECT_EQ(page.CellText(0, Column::COLUMN_UNITS), "C");
    EXPECT_EQ(page.CellText(1, Column::COLUMN_UNITS), "mg/L");
    bool number = false;
    page.CellText(1, Column::COLUMN_VALUE).toDouble(&number);
    EXPECT_TRUE(number) << page.CellText(1, Column::COLUMN_VALUE).toStdString();
    EXPECT_EQ(page.CellText(1, Column::COLUMN_DATA_CODE), "Normal");
    EXPECT_EQ(page.CellColor(1, Column::COLUMN_DATA_CODE), QColor(50, 200, 0));
    EXPECT_EQ(page.CellText(0, Column::COLUMN_DATA_CODE), "1 - User Cal. Expired");
    EXPECT_EQ(page.CellColor(0, Column::COLUMN_DATA_CODE), QColor(255, 140, 0));

    // The help names the selected row's code and explains it; a normal row needs none.
    page.List().setCurrentItem(page.List().topLevelItem(0));
    EXPECT_EQ(page.GetDataCodeLabel(), "Data Code:\n1 - User Cal. Expired");
    EXPECT_TRUE(
        page.GetDataCodeDescription().startsWith("Parameter measured without errors using an expired"));
    EXPECT_TRUE(page.StartStopButton().isEnabled());
    testsupport::SavePicture(MainWindow(), "LiveData.Connected");
    page.List().setCurrentItem(page.List().topLevelItem(1));
    EXPECT_TRUE(page.GetDataCodeLabel().isEmpty());
    EXPECT_TRUE(page.GetDataCodeDescription().isEmpty());
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

TEST_F(LiveDataPageTest, AConnectRightAfterThePageIsShownKeepsTheValuesOfTheConnectRefresh)
{
    for (const uint16_t type : {kMultiSensorProbe, uint16_t{39}})
    {
        StartProbe(type);
        // The page shown anew: its activation has yet to rebuild the rows when the connect comes.
        MainWindow().ShowPage(Page::PAGE_COMMUNICATION);
        MainWindow().ShowPage(Page::PAGE_LIVE_DATA);
        ASSERT_TRUE(LivePage().IsActivationPending());
        ConnectByButton();
        ASSERT_TRUE(testsupport::WaitUntil([&] { return !LivePage().IsActivationPending(); }));
        testsupport::PumpEvents();
        const int rows = LivePage().List().topLevelItemCount();
        ASSERT_GT(rows, 0) << type;
        for (int row = 0; row < rows; ++row)
        {
            EXPECT_FALSE(LivePage().CellText(row, Column::COLUMN_VALUE).isEmpty()) << type << " row " << row;
            EXPECT_FALSE(LivePage().CellText(row, Column::COLUMN_DATA_CODE).isEmpty())
                << type << " row " << row;
        }
        MainWindow().ConnectButton().click();
        ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() == FALSE; }));
        MainWindow().StopKeepAlive();
        testsupport::PumpEvents();
    }
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

TEST_F(LiveDataPageTest, AConnectHasEverySensorMeasureOnceForTheRowsAndTheirFirstValues)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(kMultiSensorProbe, kSerial);
    // Without the probe's measurement cache every read of a value has its sensor measure again.
    config.measurementCacheTimeout = 0;
    StartProbe(config);
    m_bProbeStarted = true;
    Connect();
    probesim::SensorBank& sensors = Probe().Sensors();
    for (uint16_t connection = 1; connection <= sensors.ConnectionCount(); ++connection)
    {
        const std::optional<uint16_t> parameters =
            Probe().Registers().GetU16(sensors.Base(connection) + probesim::header::kParameterCount);
        ASSERT_TRUE(parameters.has_value());
        EXPECT_EQ(sensors.Measurements(connection), *parameters) << "connection " << connection;
    }
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

TEST_F(LiveDataPageTest, TheValuesArePaintedPixelForPixelAsTheListItselfPaintsThem)
{
    // The value column lays its numbers out once and without shaping, for every round repaints
    // them; it must show exactly what the list's own painting shows, selected or not, in or out of
    // focus, elided where too narrow.
    Connect();
    QTreeWidget& list = LivePage().List();
    const QStringList numbers = {"0123456789", "-1.23457e+06", "-9999", "21.5", "0.000123457",
                                 "4.5e-05",    "100",          "-0.5",  "7",    "1e+10"};
    for (int row = 0; row < list.topLevelItemCount(); ++row)
        list.topLevelItem(row)->setText(Column::COLUMN_VALUE, numbers[row % numbers.size()]);
    const int fullWidth = list.columnWidth(Column::COLUMN_VALUE);
    const auto paintings = [&]
    {
        std::vector<QImage> images;
        for (const int width : {fullWidth, 40})
        {
            list.setColumnWidth(Column::COLUMN_VALUE, width);
            for (const bool focused : {false, true})
            {
                if (focused)
                    list.setFocus();
                else
                    LivePage().StartStopButton().setFocus();
                list.setCurrentItem(list.topLevelItem(1));
                images.push_back(list.viewport()->grab().toImage());
            }
        }
        list.setColumnWidth(Column::COLUMN_VALUE, fullWidth);
        return images;
    };
    const std::vector<QImage> ours = paintings();
    testsupport::SavePicture(*list.viewport(), "LiveData.Values");

    QStyledItemDelegate plain;
    list.setItemDelegateForColumn(Column::COLUMN_VALUE, &plain);
    for (int row = 0; row < list.topLevelItemCount(); ++row)
        list.topLevelItem(row)->setFont(Column::COLUMN_VALUE, list.font());
    const std::vector<QImage> lists = paintings();
    ASSERT_EQ(ours.size(), lists.size());
    for (size_t i = 0; i < ours.size(); ++i)
        EXPECT_TRUE(ours[i] == lists[i]) << "painting " << i;
    list.setItemDelegateForColumn(Column::COLUMN_VALUE, nullptr);
}

TEST_F(LiveDataPageTest, ReadingToAFileWritesTheHeaderAndOneLinePerRoundOfTheRowsShown)
{
    Connect();
    StartReadingToFile(m_config.Path(), "run");
    CCtrlPage_LiveData& page = LivePage();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return page.IsReading() != FALSE; }));
    const std::filesystem::path path = m_config.Path() / "run.csv";
    EXPECT_EQ(ui::ToQString(page.GetLogFilePath()).toStdString(), path.string());
    const auto lines = [&]
    {
        const std::string text = ReadAll(path);
        return std::count(text.begin(), text.end(), '\n');
    };
    ASSERT_TRUE(testsupport::WaitUntil([&] { return lines() >= 4; }, std::chrono::milliseconds(10000)));
    EXPECT_EQ(page.StartStopButton().text(), "Stop");
    EXPECT_FALSE(page.SelectButton().isEnabled());
    EXPECT_FALSE(page.RateEdit().isEnabled());
    EXPECT_FALSE(page.LogToFileBox().isEnabled());
    EXPECT_TRUE(MainWindow().IsKeepAliveRunning());
    testsupport::SavePicture(MainWindow(), "LiveData.Reading");
    page.StartStopButton().click();
    EXPECT_FALSE(page.IsReading());
    EXPECT_EQ(page.StartStopButton().text(), "Start");

    // The exact format and a CSV reader's view are the file's own tests'; here the page's columns
    // and values.
    const std::string text = ReadAll(path);
    const std::vector<QStringList> rows = FileRows(text);
    ASSERT_EQ(static_cast<std::ptrdiff_t>(rows.size()), std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), std::count(text.begin(), text.end(), '\n'));
    ASSERT_EQ(rows[0].size(), kRows + 2);
    EXPECT_EQ(rows[0][0], "Timestamp(UTC)");
    EXPECT_EQ(rows[0][2], "Temperature (C)");
    EXPECT_EQ(rows[0][6], QString::fromUtf8("Actual Conductivity (\xC2\xB5S/cm)"));
    // The last line holds what the page shows now: the values of the same round.
    ASSERT_EQ(rows.back().size(), kRows + 2);
    for (int row = 0; row < kRows; ++row)
        EXPECT_EQ(rows.back()[row + 2], page.CellText(row, Column::COLUMN_VALUE)) << row;
    EXPECT_EQ(GetProfileInt(LOGGING_SECTION, TIME_ZONE_UTC_ENTRY, -1), 1);
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

TEST_F(LiveDataPageTest, AFileThatCannotTakeItsLinesIsReportedOnceAndTheReadingGoesOn)
{
    Connect();
    const std::filesystem::path path = ReadToFileUntilItsFirstLine("blocked");
    ASSERT_FALSE(path.empty());
    CCtrlPage_LiveData& page = LivePage();
    BlockFile(path);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !BoxTexts().empty(); }));
    ASSERT_TRUE(WaitForRounds(3));
    EXPECT_TRUE(page.IsReading());
    ASSERT_EQ(BoxTexts().size(), 1u) << "told once";
    EXPECT_TRUE(BoxTexts().front().startsWith(
        QStringLiteral("Failed to write to file %1.").arg(QString::fromStdString(path.string()))));
    page.StartStopButton().click();
    EXPECT_FALSE(page.IsReading());
}

TEST_F(LiveDataPageTest, TheDataLogPopupInsistsOnANameAndAsksBeforeAFileIsOverwritten)
{
    std::ofstream(m_config.Path() / "old.csv") << "x";
    ASSERT_TRUE(WriteProfileString(LOGGING_SECTION, WORKING_DIRECTORY_ENTRY, u"/somewhere/else"));
    CDlgPopup_ConfigureDataLog popup(&MainWindow());
    const QString folder = QString::fromStdString(m_config.Path().string());
    m_dialogs.QueueFolder(folder);
    const int result = testsupport::RunModal(
        popup,
        [&]
        {
            EXPECT_EQ(popup.FolderEdit().text(), "/somewhere/else");
            EXPECT_TRUE(popup.FileNameEdit().text().isEmpty());
            EXPECT_TRUE(popup.LocalButton().text().startsWith("Local ("));
            popup.SendCommand(IDC_DATALOG_SELECT_FOLDER);
            EXPECT_EQ(popup.FolderEdit().text(), folder);

            popup.SendCommand(IDOK);
            ASSERT_TRUE(popup.isVisible());
            EXPECT_EQ(LastBoxText(), "Must specify file name.");

            popup.FileNameEdit().setText(" old ");
            popup.LocalButton().setChecked(true);
            m_dialogs.QueueAnswer(platform::IDNO);
            popup.SendCommand(IDOK);
            ASSERT_TRUE(popup.isVisible()) << "No keeps the popup open";
            EXPECT_EQ(LastBoxText(), QString("File %1/old.csv exists. Overwrite?").arg(folder));
            EXPECT_EQ(popup.FileNameEdit().selectedText(), " old ");
            m_dialogs.QueueAnswer(platform::IDYES);
            popup.SendCommand(IDOK);
        });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ui::ToQString(popup.GetFilePath()), folder + "/old.csv");
    EXPECT_FALSE(popup.GetUtc());
    EXPECT_EQ(ui::ToQString(GetProfileString(LOGGING_SECTION, WORKING_DIRECTORY_ENTRY, u"")), folder);
    EXPECT_EQ(GetProfileInt(LOGGING_SECTION, TIME_ZONE_UTC_ENTRY, -1), 0);
}

TEST_F(LiveDataPageTest, TheSelectionPopupDecidesTheRowsAndTheMovedOrderSurvivesReconnecting)
{
    Connect();
    CCtrlPage_LiveData& page = LivePage();
    OnNextModal(
        [](QWidget& modal)
        {
            auto* popup = dynamic_cast<CDlgPopup_SelectPollData*>(&modal);
            ASSERT_NE(popup, nullptr);
            CNVCheckListBox& list = popup->List();
            EXPECT_EQ(popup->GetPromptText(), "Check/uncheck desired parameters.");
            // One temperature, then the other readings of all four sensors: the DO sensor's three,
            // the conductivity sensor's six, the level sensor's two (the selection's pressure/level
            // entries) and the pH/ORP sensor's three.
            ASSERT_EQ(list.count(), 15);
            EXPECT_EQ(list.item(0)->text(), "Temperature");
            for (int i = 0; i < list.count(); ++i)
            {
                if (list.item(i)->text() == "Salinity")
                    list.SetCheck(i, FALSE);
            }
            EXPECT_EQ(list.item(10)->text(), "Pressure");
            EXPECT_EQ(list.item(11)->text(), "Depth");
            for (int i = 0; i < list.count(); ++i)
                EXPECT_NE(list.item(i)->flags() & Qt::ItemIsEnabled, Qt::NoItemFlags) << i;
            testsupport::SavePicture(modal, "LiveData.SelectPollDataPopup");
            popup->SendCommand(IDOK);
        });
    page.SelectButton().click();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return page.List().topLevelItemCount() == kRows - 1; }));
    EXPECT_FALSE(RowNames().contains("Salinity"));

    // pH to the top with the keyboard, ORP one up with the button.
    const int ph = static_cast<int>(RowNames().indexOf("pH"));
    MainWindow().activateWindow();
    page.List().setFocus();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return QApplication::focusWidget() == &page.List(); }));
    page.List().setCurrentItem(page.List().topLevelItem(ph));
    for (int step = 0; step < ph; ++step)
        QTest::keyClick(&MainWindow(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(RowNames().front(), "pH");
    EXPECT_FALSE(page.UpButton().isEnabled()) << "the top row goes no higher";
    EXPECT_TRUE(page.DownButton().isEnabled());
    const int orp = static_cast<int>(RowNames().indexOf("Oxidation Reduction Potential (ORP)"));
    page.List().setCurrentItem(page.List().topLevelItem(orp));
    page.UpButton().click();
    const QStringList order = RowNames();
    EXPECT_EQ(order[orp - 1], "Oxidation Reduction Potential (ORP)");
    EXPECT_EQ(page.List().currentItem(), page.List().topLevelItem(orp - 1));

    MainWindow().ConnectButton().click();
    ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() == FALSE; }));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return page.List().topLevelItemCount() == 0; }));
    // The keep-alive of the first connection may still report it gone; that report must not meet
    // the second connection.
    MainWindow().StopKeepAlive();
    testsupport::PumpEvents();
    Connect();
    EXPECT_EQ(RowNames(), order);
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

TEST_F(LiveDataPageTest, StartNeedsARateOfTenSecondsToTwelveHoursAndTheRateIsKept)
{
    Connect();
    CCtrlPage_LiveData& page = LivePage();
    CNVEdit& rate = page.RateEdit();
    const std::pair<const char*, bool> cases[] = {{"9", false},     {"10", true}, {"43200", true},
                                                  {"43201", false}, {"", false},  {"600", true}};
    for (const auto& [text, enabled] : cases)
    {
        rate.setText(text);
        EXPECT_EQ(page.StartStopButton().isEnabled(), enabled) << text;
    }
    // The rate and the file choice are kept when the probe goes.
    page.LogToFileBox().setChecked(true);
    MainWindow().ConnectButton().click();
    ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() == FALSE; }));
    testsupport::PumpEvents();
    EXPECT_EQ(GetProfileInt(LOGGING_SECTION, LOG_RATE_ENTRY, 0), 600);
    EXPECT_EQ(GetProfileInt(LOGGING_SECTION, LOG_DATA_ENTRY, 0), 1);
    EXPECT_FALSE(page.StartStopButton().isEnabled());
}

TEST_F(LiveDataPageTest, AnUnpluggedSensorShowsItsRowsMissingWhileTheOthersGoOn)
{
    Connect();
    CCtrlPage_LiveData& page = LivePage();
    page.StartStopButton().click();
    ASSERT_TRUE(page.IsReading());
    Probe().Sensors().Unplug(kConductivityConnection);
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return page.CellText(4, Column::COLUMN_DATA_CODE) == "Sensor Missing"; }));
    ASSERT_TRUE(WaitForRounds(2));
    EXPECT_TRUE(page.IsReading());
    for (int row = 4; row < 10; ++row)
    {
        EXPECT_EQ(page.CellText(row, Column::COLUMN_DATA_CODE), "Sensor Missing") << row;
        EXPECT_EQ(page.CellColor(row, Column::COLUMN_DATA_CODE), QColor(220, 0, 0)) << row;
        EXPECT_TRUE(page.CellText(row, Column::COLUMN_VALUE).isEmpty()) << row;
    }
    EXPECT_EQ(page.CellText(0, Column::COLUMN_DATA_CODE), "Normal");
    EXPECT_EQ(page.CellText(12, Column::COLUMN_DATA_CODE), "Normal");
    testsupport::SavePicture(MainWindow(), "LiveData.SensorMissing");
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

// Counts the worker's read errors that reach the page, whether it handles them at once or holds them.
class ReadErrorCounter : public QObject
{
public:
    explicit ReadErrorCounter(QObject& page) : m_page(page)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~ReadErrorCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
    int Count() const { return m_count; }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        // The event may come from the worker: its hand-over is taken before it is looked at.
        ui::AcquireHandover();
        if (receiver == &m_page && event->type() == CNotifyEvent::TypeOf(windowmsg::WM_READ_ERROR))
            ++m_count;
        return false;
    }

private:
    QObject& m_page;
    int m_count = 0;
};

TEST_F(LiveDataPageTest, AReadErrorThatArrivesWhileTheFileBoxIsOpenIsToldAfterIt)
{
    Connect();
    const std::filesystem::path path = ReadToFileUntilItsFirstLine("blocked");
    ASSERT_FALSE(path.empty());
    CCtrlPage_LiveData& page = LivePage();
    // The line fails while the user reads about the file; the box is answered once the worker's
    // report has arrived.
    const ReadErrorCounter errors(page);
    bool readingWhenAnswered = false;
    m_dialogs.QueueLoopingAnswer(
        platform::IDOK,
        [&]
        {
            readingWhenAnswered = page.IsReading() != FALSE;
            return errors.Count() > 0;
        },
        [&] { Sim().Faults().SetPersistent(probesim::Fault::NoReply()); });
    BlockFile(path);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return BoxTexts().size() >= 2; }, 30s));

    EXPECT_TRUE(readingWhenAnswered) << "the read error was handled inside the file's box";
    const auto& boxes = m_dialogs.MessageBoxes();
    EXPECT_TRUE(boxes[0].text.startsWith("Failed to write to file"));
    EXPECT_TRUE(boxes[1].text.startsWith("Error reading live values\nError Code: 81000006\n"))
        << boxes[1].text.toStdString();
    EXPECT_FALSE(boxes[1].overAnotherBox);
    EXPECT_FALSE(page.IsReading());
    Sim().Faults().Clear();
}

TEST_F(LiveDataPageTest, AFailedLineStopsTheReadingWithTheErrorAndItsCode)
{
    Connect();
    CCtrlPage_LiveData& page = LivePage();
    page.StartStopButton().click();
    ASSERT_TRUE(page.IsReading());
    ASSERT_TRUE(WaitForRounds(1));
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !BoxTexts().empty(); }));
    EXPECT_TRUE(BoxTexts().front().startsWith("Error reading live values\nError Code: 81000006\n"))
        << BoxTexts().front().toStdString();
    EXPECT_FALSE(page.IsReading());
    EXPECT_EQ(page.StartStopButton().text(), "Start");
}

TEST_F(LiveDataPageTest, LeavingThePageOrDisconnectingEndsTheReadingCleanly)
{
    Connect();
    CCtrlPage_LiveData& page = LivePage();
    page.StartStopButton().click();
    ASSERT_TRUE(WaitForRounds(1));
    MainWindow().TabButton(Page::PAGE_COMMUNICATION).click();
    EXPECT_FALSE(page.IsReading());
    EXPECT_EQ(page.List().topLevelItemCount(), 0);

    MainWindow().TabButton(Page::PAGE_LIVE_DATA).click();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return page.List().topLevelItemCount() == kRows; }));
    page.StartStopButton().click();
    ASSERT_TRUE(WaitForRounds(1));
    MainWindow().ConnectButton().click();
    ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() == FALSE; }));
    EXPECT_FALSE(page.IsReading());
    testsupport::PumpEvents();
    EXPECT_EQ(page.List().topLevelItemCount(), 0);
    EXPECT_FALSE(page.StartStopButton().isEnabled());
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

// ---- Every round of a run reaches the file, whatever box is open ----

// The worker's rounds as the page receives them, whether it takes them at once or holds them:
// the newest round number of each kind.
class RoundWatch : public QObject
{
public:
    explicit RoundWatch(QObject& page) : m_page(page)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~RoundWatch() override { QCoreApplication::instance()->removeEventFilter(this); }
    uint64_t Newest() const { return std::max(m_newestData, m_newestError); }
    uint64_t NewestError() const { return m_newestError; }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        ui::AcquireHandover();
        if (receiver != &m_page)
            return false;
        const auto round = [event] { return static_cast<const CNotifyEvent*>(event)->WParam(); };
        if (event->type() == CNotifyEvent::TypeOf(windowmsg::WM_NEW_DATA))
            m_newestData = std::max<uint64_t>(m_newestData, round());
        else if (event->type() == CNotifyEvent::TypeOf(windowmsg::WM_READ_ERROR))
            m_newestError = std::max<uint64_t>(m_newestError, round());
        return false;
    }

private:
    QObject& m_page;
    uint64_t m_newestData = 0;
    uint64_t m_newestError = 0;
};

// The quick clock, with time that moves 100 ms at every look: round k of a run starts 0.1 + 0.2 (k - 1)
// seconds after the run, so each line tells which round it holds.
sLivePollClock RoundNumberingClock()
{
    sLivePollClock clock = QuickClock();
    auto now = std::make_shared<std::atomic<uint64_t>>(0);
    clock.NowMs = [now] { return now->fetch_add(100) + 100; };
    return clock;
}

QString ElapsedOfRound(uint64_t round)
{
    return QString::asprintf("%.1f", static_cast<double>(2 * round - 1) / 10.0);
}

// The rounds whose lines the file holds after its header, in the file's order, told by their
// elapsed seconds; 0 for a line that is no round's.
std::vector<uint64_t> RoundsInFile(const std::filesystem::path& path, bool withHeader = true)
{
    std::vector<QStringList> rows = FileRows(ReadAll(path));
    if (withHeader && !rows.empty())
        rows.erase(rows.begin());
    std::vector<uint64_t> rounds;
    for (const QStringList& row : rows)
    {
        const double elapsed = row.size() > 1 ? row[1].toDouble() : 0.0;
        const auto round = static_cast<uint64_t>(std::llround((elapsed * 10.0 + 1.0) / 2.0));
        rounds.push_back(row.size() > 1 && ElapsedOfRound(round) == row[1] ? round : 0);
    }
    return rounds;
}

// first, first + 1, ..., last, without the ones left out.
std::vector<uint64_t> RoundRange(uint64_t first, uint64_t last, std::initializer_list<uint64_t> without = {})
{
    std::vector<uint64_t> rounds;
    for (uint64_t round = first; round <= last; ++round)
        if (std::find(without.begin(), without.end(), round) == without.end())
            rounds.push_back(round);
    return rounds;
}

class LiveLogUnderBoxTest : public LiveDataPageTest
{
protected:
    static constexpr auto kManyRounds = std::chrono::milliseconds(100000);

    // Connected, reading with the round-numbering clock into the file, its first line written.
    std::filesystem::path ReadToFile(const QString& name)
    {
        Connect();
        LivePage().SetPollClockForTests(RoundNumberingClock());
        return ReadToFileUntilItsFirstLine(name);
    }
    // Every message the worker posted before it stopped has reached the page.
    void DeliverTheLastRounds()
    {
        ASSERT_FALSE(LivePage().IsReading());
        EXPECT_TRUE(testsupport::DeliverPostedMessages());
    }
};

TEST_F(LiveLogUnderBoxTest, RoundsReadWhileAboutIsOpenAllReachTheFileAndAReadErrorAmongThemIsToldAfterIt)
{
    const std::filesystem::path path = ReadToFile("about");
    ASSERT_FALSE(path.empty());
    CCtrlPage_LiveData& page = LivePage();
    const RoundWatch rounds(page);
    // One read of the DO sensor fails once armed: its round is a read error, the next ones not.
    std::atomic<bool> failOnce{false};
    Probe().Registers().AddReadHook(
        Probe().Sensors().Base(1), 64,
        [&](probesim::RegisterModel&, uint16_t, uint16_t) -> std::optional<probesim::ExceptionCode>
        {
            if (failOnce.exchange(false))
                return probesim::ExceptionCode::SlaveDeviceFailure;
            return std::nullopt;
        });
    bool readingWhenClosed = false;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto* about = qobject_cast<CDlgPopup_About*>(&modal);
            ASSERT_NE(about, nullptr);
            const uint64_t opened = rounds.Newest();
            EXPECT_TRUE(testsupport::WaitUntil([&] { return rounds.Newest() >= opened + 100; }, kManyRounds));
            failOnce = true;
            EXPECT_TRUE(testsupport::WaitUntil([&] { return rounds.NewestError() != 0; }, 10s));
            EXPECT_TRUE(
                testsupport::WaitUntil([&] { return rounds.Newest() >= rounds.NewestError() + 3; }, 10s));
            readingWhenClosed = page.IsReading() != FALSE;
            about->SendCommand(IDOK);
        });
    MainWindow().SendCommand(IDM_ABOUTBOX);
    ASSERT_TRUE(readingWhenClosed);
    // The read error waited for About and ended the reading after it.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !BoxTexts().empty(); }));
    EXPECT_TRUE(BoxTexts().front().startsWith("Error reading live values"))
        << BoxTexts().front().toStdString();
    EXPECT_FALSE(m_dialogs.MessageBoxes().front().overAnotherBox);
    DeliverTheLastRounds();
    EXPECT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(RoundsInFile(path), RoundRange(1, rounds.Newest(), {rounds.NewestError()}));
}

TEST_F(LiveLogUnderBoxTest, WhileTheFileBoxIsOpenEveryRoundReachesTheFileOnceItCanBeWrittenAgain)
{
    const std::filesystem::path path = ReadToFile("blocked");
    ASSERT_FALSE(path.empty());
    CCtrlPage_LiveData& page = LivePage();
    const RoundWatch rounds(page);
    uint64_t lastLost = 0;
    m_dialogs.QueueLoopingAnswer(
        platform::IDOK, [&] { return lastLost != 0 && rounds.Newest() >= lastLost + 100; },
        [&]
        {
            // The user makes room for the file while reading the box: the rounds from now on fit.
            std::filesystem::remove(path);
            const std::ofstream writable(path);
            lastLost = rounds.Newest();
        },
        kManyRounds);
    BlockFile(path);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return lastLost != 0 && rounds.Newest() >= lastLost + 100; },
                                       kManyRounds));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !ui::HasHeldWork() && BoxTexts().size() == 1; }));
    EXPECT_TRUE(BoxTexts().front().startsWith("Failed to write to file")) << BoxTexts().front().toStdString();
    EXPECT_TRUE(page.IsReading());
    page.StartStopButton().click();
    DeliverTheLastRounds();
    EXPECT_EQ(BoxTexts().size(), 1u) << "told once";
    EXPECT_EQ(RoundsInFile(path, false), RoundRange(lastLost + 1, rounds.Newest()));
}

TEST_F(LiveLogUnderBoxTest, TheRoundsReadWhileTheLeaveQuestionIsOpenReachTheFileWhateverTheAnswer)
{
    const std::filesystem::path path = ReadToFile("leave");
    ASSERT_FALSE(path.empty());
    CCtrlPage_LiveData& page = LivePage();
    const RoundWatch rounds(page);
    const auto askAndAnswer = [&](int answer)
    {
        const uint64_t asked = rounds.Newest();
        m_dialogs.QueueLoopingAnswer(answer, [&rounds, asked] { return rounds.Newest() >= asked + 20; });
        MainWindow().TabButton(Page::PAGE_COMMUNICATION).click();
        EXPECT_EQ(LastBoxText(), "Data logging will terminate.\nContinue?");
    };

    // No: the page stays and reads on, and the file holds every round up to the next ones.
    askAndAnswer(platform::IDNO);
    EXPECT_TRUE(page.IsReading());
    EXPECT_FALSE(page.isHidden());
    const uint64_t answered = rounds.Newest();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return RoundsInFile(path).size() >= answered + 2; }, 10s));

    // Yes: the reading stops, and the rounds read while the question was open are in the file.
    askAndAnswer(platform::IDYES);
    EXPECT_TRUE(page.isHidden());
    DeliverTheLastRounds();
    EXPECT_EQ(RoundsInFile(path), RoundRange(1, rounds.Newest()));
    EXPECT_EQ(BoxTexts().size(), 2u);
}

// ---- The newest values on display, however the rounds arrive ----

// The round-numbering clock, with every round after the first beginning only once the test lets
// it (or the run stops).
class GatedRounds
{
public:
    sLivePollClock Clock() const
    {
        sLivePollClock clock = RoundNumberingClock();
        clock.WaitForStop = [next = m_next](platform::CEvent& stop, uint64_t)
        {
            while (!stop.IsSet())
                if (next->Wait(5))
                    return stop.IsSet();
            return true;
        };
        return clock;
    }
    void Next() const { m_next->Set(); }

private:
    // Shared with the clock, which the page keeps.
    std::shared_ptr<platform::CEvent> m_next =
        std::make_shared<platform::CEvent>(platform::CEvent::Reset::Auto);
};

// Holds back the page's message of one round and posts it again right behind the next round's,
// as a wait posts the messages it held behind those posted meanwhile.
class RoundPostedBehindTheNext : public QObject
{
public:
    RoundPostedBehindTheNext(CCtrlPage_LiveData& page, uint64_t round) : m_page(page), m_nRound(round)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~RoundPostedBehindTheNext() override { QCoreApplication::instance()->removeEventFilter(this); }
    bool Held() const { return m_runTag.has_value(); }
    bool PostedAgain() const { return m_bPostedAgain; }
    // The page has handled the message posted again (checked between events, after its handling).
    bool DeliveredAgain() const { return m_bDeliveredAgain; }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        ui::AcquireHandover();
        if (receiver != &m_page || event->type() != CNotifyEvent::TypeOf(windowmsg::WM_NEW_DATA))
            return false;
        const auto* notify = static_cast<const CNotifyEvent*>(event);
        if (!m_runTag && notify->WParam() == m_nRound)
        {
            m_runTag = notify->LParam();
            return true;
        }
        if (m_runTag && !m_bPostedAgain && notify->WParam() == m_nRound + 1)
        {
            m_bPostedAgain = true;
            m_page.PostNotify(windowmsg::WM_NEW_DATA, m_nRound, *m_runTag);
        }
        else if (m_bPostedAgain && notify->WParam() == m_nRound)
        {
            m_bDeliveredAgain = true;
        }
        return false;
    }

private:
    CCtrlPage_LiveData& m_page;
    const uint64_t m_nRound;
    std::optional<LPARAM> m_runTag;
    bool m_bPostedAgain = false;
    bool m_bDeliveredAgain = false;
};

class LiveShowTest : public LiveDataPageTest
{
protected:
    // Connected, with the rounds of the next run begun by the test.
    void ConnectWithGatedRounds()
    {
        Connect();
        LivePage().SetPollClockForTests(m_rounds.Clock());
    }
    QString FirstDataCode() { return LivePage().CellText(0, Column::COLUMN_DATA_CODE); }

    GatedRounds m_rounds;
};

// The one round read while About is open is shown once About has closed, not only with the next
// round (which may be hours away at a slow rate).
TEST_F(LiveShowTest, ASingleRoundReadUnderABoxIsShownOnceTheBoxCloses)
{
    ConnectWithGatedRounds();
    CCtrlPage_LiveData& page = LivePage();
    const RoundWatch rounds(page);
    page.LogToFileBox().setChecked(false);
    page.StartStopButton().click();
    ASSERT_TRUE(page.IsReading());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return rounds.Newest() >= 1; }));
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
    ASSERT_EQ(FirstDataCode(), "Normal");

    OnNextModal(
        [&](QWidget& modal)
        {
            auto* about = qobject_cast<CDlgPopup_About*>(&modal);
            ASSERT_NE(about, nullptr);
            Probe().Sensors().ForceQuality(1, kDoTemperatureParameter, kUserCalExpired);
            m_rounds.Next();
            EXPECT_TRUE(testsupport::WaitUntil([&] { return rounds.Newest() >= 2; }));
            EXPECT_EQ(FirstDataCode(), "Normal") << "shown after the box";
            about->SendCommand(IDOK);
        });
    MainWindow().SendCommand(IDM_ABOUTBOX);
    ASSERT_TRUE(testsupport::DeliverHeldWork());
    EXPECT_EQ(rounds.Newest(), 2u) << "no round since";
    EXPECT_EQ(FirstDataCode(), "1 - User Cal. Expired");
    testsupport::SavePicture(MainWindow());
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

// A round whose message comes behind a later round's: both lines reach the file once, in the order
// taken, and the list keeps the later round's values.
TEST_F(LiveShowTest, ARoundHandledAfterALaterOneReachesTheFileOnceAndTheLaterValuesStayShown)
{
    ConnectWithGatedRounds();
    CCtrlPage_LiveData& page = LivePage();
    const RoundPostedBehindTheNext behind(page, 2);
    const std::filesystem::path path = ReadToFileUntilItsFirstLine("behind");
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(FirstDataCode(), "Normal");
    m_rounds.Next();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return behind.Held(); }));
    Probe().Sensors().ForceQuality(1, kDoTemperatureParameter, kUserCalExpired);
    m_rounds.Next();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return behind.PostedAgain(); }));
    ASSERT_TRUE(testsupport::DeliverPostedMessages());

    EXPECT_EQ(RoundsInFile(path), (std::vector<uint64_t>{1, 3, 2}));
    EXPECT_EQ(FirstDataCode(), "1 - User Cal. Expired") << "the third round's";
    page.StartStopButton().click();
    ASSERT_FALSE(page.IsReading());
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
    EXPECT_EQ(RoundsInFile(path), (std::vector<uint64_t>{1, 3, 2}));
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

// The same with both rounds taken while About is open: the values shown once it has closed are the
// later round's.
TEST_F(LiveShowTest, ARoundTakenUnderABoxAfterALaterOneLeavesTheLaterValuesToBeShown)
{
    ConnectWithGatedRounds();
    CCtrlPage_LiveData& page = LivePage();
    const RoundPostedBehindTheNext behind(page, 2);
    const RoundWatch rounds(page);
    page.LogToFileBox().setChecked(false);
    page.StartStopButton().click();
    ASSERT_TRUE(page.IsReading());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return rounds.Newest() >= 1; }));
    ASSERT_EQ(FirstDataCode(), "Normal");

    OnNextModal(
        [&](QWidget& modal)
        {
            auto* about = qobject_cast<CDlgPopup_About*>(&modal);
            ASSERT_NE(about, nullptr);
            m_rounds.Next();
            EXPECT_TRUE(testsupport::WaitUntil([&] { return behind.Held(); }));
            Probe().Sensors().ForceQuality(1, kDoTemperatureParameter, kUserCalExpired);
            m_rounds.Next();
            EXPECT_TRUE(testsupport::WaitUntil([&] { return behind.DeliveredAgain(); }));
            EXPECT_EQ(FirstDataCode(), "Normal") << "shown after the box";
            about->SendCommand(IDOK);
        });
    MainWindow().SendCommand(IDM_ABOUTBOX);
    ASSERT_TRUE(testsupport::DeliverHeldWork());
    EXPECT_EQ(FirstDataCode(), "1 - User Cal. Expired") << "the third round's";
    page.StartStopButton().click();
    ASSERT_FALSE(page.IsReading());
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

// Each run numbers its rounds from 1: a new run's first round is shown, however far the run before
// it went.
TEST_F(LiveShowTest, ANewRunShowsItsRoundsFromItsFirst)
{
    ConnectWithGatedRounds();
    CCtrlPage_LiveData& page = LivePage();
    page.LogToFileBox().setChecked(false);
    {
        const RoundWatch first(page);
        page.StartStopButton().click();
        ASSERT_TRUE(page.IsReading());
        ASSERT_TRUE(testsupport::WaitUntil([&] { return first.Newest() >= 1; }));
        m_rounds.Next();
        ASSERT_TRUE(testsupport::WaitUntil([&] { return first.Newest() >= 2; }));
        page.StartStopButton().click();
        ASSERT_FALSE(page.IsReading());
        ASSERT_TRUE(testsupport::DeliverPostedMessages());
    }
    ASSERT_EQ(FirstDataCode(), "Normal");

    Probe().Sensors().ForceQuality(1, kDoTemperatureParameter, kUserCalExpired);
    const RoundWatch second(page);
    page.StartStopButton().click();
    ASSERT_TRUE(page.IsReading());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return second.Newest() >= 1; }));
    EXPECT_EQ(FirstDataCode(), "1 - User Cal. Expired") << "the new run's first round";
    page.StartStopButton().click();
    ASSERT_FALSE(page.IsReading());
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

} // namespace
} // namespace apptest
