// The live-data file: its header and lines byte for byte, what a reader of CSV makes of it, and how
// the file behaves when it goes away or cannot be written while reading.
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/resource.h>

#include "app/livedata/LiveDataCsv.h"
#include "foundation/ResultCodes.h"
#include "platform/Utf.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tests/support/FileSizeLimit.h"

namespace apptest
{
namespace
{

sParameterReading Row(USHORT sensorId, USHORT parameterId, USHORT unitId)
{
    sParameterReading row;
    row.SensorId = sensorId;
    row.ParameterId = parameterId;
    row.UnitId = unitId;
    return row;
}

CDynArray<sParameterReading> TwoRows()
{
    CDynArray<sParameterReading> rows;
    rows.Add(Row(42, 1, 1));  // temperature, C
    rows.Add(Row(35, 9, 65)); // actual conductivity, µS/cm
    return rows;
}

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms = 0)
{
    SYSTEMTIME t;
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wMilliseconds = ms;
    return t;
}

sLiveRound Round(double elapsed, std::optional<SYSTEMTIME> stamp, std::initializer_list<sLiveValue> values)
{
    sLiveRound round;
    round.ElapsedSeconds = elapsed;
    round.Timestamp = stamp;
    round.Values = values;
    return round;
}

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CWideString WidePath(const std::filesystem::path& path)
{
    return CWideString(platform::Utf8ToUtf16(path.string()).c_str());
}

// The rows as Python's csv module reads the file, as JSON with every non-ASCII character escaped.
std::string ReadByPython(const std::filesystem::path& path)
{
    const std::string command = "python3 -c 'import csv, json, sys; "
                                "print(json.dumps(list(csv.reader(open(sys.argv[1], newline=\"\", "
                                "encoding=\"utf-8\")))))' '" +
                                path.string() + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return "(python3 did not start)";
    std::string out;
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe) != nullptr)
        out += buffer.data();
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

class LiveDataCsv : public ::testing::Test
{
protected:
    std::filesystem::path File(const char* name) const { return m_config.Path() / name; }

    testsupport::ScopedConfigDir m_config;
};

TEST_F(LiveDataCsv, HeaderAndLinesHoldTheColumnsOfTheRowsWithCrLf)
{
    EXPECT_EQ(BuildCsvHeader(TwoRows(), TRUE, u"ignored"),
              "Timestamp(UTC),Elapsed(sec),Temperature (C),Actual Conductivity (\xC2\xB5S/cm)\r\n");
    EXPECT_EQ(
        BuildCsvLine(Round(12.345, At(2024, 5, 1, 7, 5, 9, 870), {{21.5f, 0, S_OK}, {1234567.0f, 0, S_OK}})),
        "2024-05-01 07:05:09,12.3,21.5,1.23457e+06\r\n");
    // An empty poll list: the two time columns alone.
    EXPECT_EQ(BuildCsvHeader(CDynArray<sParameterReading>(), TRUE, u""), "Timestamp(UTC),Elapsed(sec)\r\n");
    EXPECT_EQ(BuildCsvLine(Round(0.0, At(2030, 12, 31, 23, 59, 59), {})), "2030-12-31 23:59:59,0.0\r\n");
    // A missing stamp, or a row whose sensor was missing, leaves its field empty.
    EXPECT_EQ(
        BuildCsvLine(Round(20.0, std::nullopt, {{0.0f, 0, MODBUSCOMM_E_PORT_NO_SENSOR}, {-0.5f, 3, S_OK}})),
        ",20.0,,-0.5\r\n");
    // The local time base names the zone, quoted where the name needs it.
    EXPECT_EQ(BuildCsvHeader(CDynArray<sParameterReading>(), FALSE, u"West, \"summer\""),
              "\"Timestamp(West, \"\"summer\"\")\",Elapsed(sec)\r\n");
    EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
}

TEST_F(LiveDataCsv, PythonsCsvReaderReadsTheFileAsWritten)
{
    const std::filesystem::path path = File("live.csv");
    ASSERT_TRUE(CreateCsvFile(WidePath(path), BuildCsvHeader(TwoRows(), FALSE, u"Zone, \"A\"")));
    EXPECT_EQ(AppendCsvLine(WidePath(path), BuildCsvLine(Round(0.0, At(2024, 1, 2, 3, 4, 5),
                                                               {{7.25f, 0, S_OK}, {0.001f, 0, S_OK}}))),
              CsvAppend::Written);
    EXPECT_EQ(AppendCsvLine(WidePath(path),
                            BuildCsvLine(Round(10.0, std::nullopt,
                                               {{0.0f, 0, MODBUSCOMM_E_PORT_NO_SENSOR}, {1e-7f, 0, S_OK}}))),
              CsvAppend::Written);
    EXPECT_EQ(ReadByPython(path), "[[\"Timestamp(Zone, \\\"A\\\")\", \"Elapsed(sec)\", \"Temperature (C)\", "
                                  "\"Actual Conductivity (\\u00b5S/cm)\"], "
                                  "[\"2024-01-02 03:04:05\", \"0.0\", \"7.25\", \"0.001\"], "
                                  "[\"\", \"10.0\", \"\", \"1e-07\"]]");
}

TEST_F(LiveDataCsv, AFileDeletedWhileReadingIsNotMadeAgainAndAFailedWriteIsReported)
{
    const std::filesystem::path path = File("gone.csv");
    ASSERT_TRUE(CreateCsvFile(WidePath(path), "header\r\n"));
    // Created anew: an earlier file of the name is emptied.
    ASSERT_TRUE(CreateCsvFile(WidePath(path), "h\r\n"));
    EXPECT_EQ(ReadAll(path), "h\r\n");
    std::filesystem::remove(path);
    EXPECT_EQ(AppendCsvLine(WidePath(path), "line\r\n"), CsvAppend::FileGone);
    EXPECT_FALSE(std::filesystem::exists(path));

    // A name that stands for something that cannot take the line.
    EXPECT_EQ(AppendCsvLine(WidePath(m_config.Path()), "line\r\n"), CsvAppend::Failed);
    EXPECT_FALSE(CreateCsvFile(WidePath(File("no such folder") / "x.csv"), "header\r\n"));
    if (std::filesystem::exists("/dev/full"))
    {
        EXPECT_EQ(AppendCsvLine(u"/dev/full", "line\r\n"), CsvAppend::Failed);
    }
}

// A file-size limit on the process stands in for a disk that fills up while the file is written.
using FileSizeLimit = testsupport::ScopedFileSizeLimit;

TEST_F(LiveDataCsv, ALineThatCannotBeWrittenWholeIsCutOffAndTheNextOneStartsALineOfItsOwn)
{
    const std::filesystem::path path = File("full.csv");
    const std::string header = "Timestamp(UTC),Elapsed(sec),Temperature (C)\r\n";
    const std::string first = "2024-01-02 03:04:05,0.0,7.25\r\n";
    const std::string second = "2024-01-02 03:04:15,10.0,7.5\r\n";
    ASSERT_TRUE(CreateCsvFile(WidePath(path), header));
    ASSERT_EQ(AppendCsvLine(WidePath(path), first), CsvAppend::Written);
    {
        // Room for half of the next line.
        const FileSizeLimit limit(header.size() + first.size() + second.size() / 2);
        EXPECT_EQ(AppendCsvLine(WidePath(path), second), CsvAppend::Failed);
    }
    EXPECT_EQ(ReadAll(path), header + first);
    ASSERT_EQ(AppendCsvLine(WidePath(path), second), CsvAppend::Written);
    EXPECT_EQ(ReadAll(path), header + first + second);
    EXPECT_EQ(ReadByPython(path), "[[\"Timestamp(UTC)\", \"Elapsed(sec)\", \"Temperature (C)\"], "
                                  "[\"2024-01-02 03:04:05\", \"0.0\", \"7.25\"], "
                                  "[\"2024-01-02 03:04:15\", \"10.0\", \"7.5\"]]");
}

TEST_F(LiveDataCsv, ThePopupsPathHasOneSlashAndTheCsvExtension)
{
    EXPECT_EQ(Text(BuildLogFilePath(u"/home/ann/data", u"log")), u"/home/ann/data/log.csv");
    EXPECT_EQ(Text(BuildLogFilePath(u"/home/ann/data/ ", u" log.CSV ")), u"/home/ann/data/log.CSV");
    EXPECT_EQ(Text(BuildLogFilePath(u"/home/ann/data//", u"run.txt")), u"/home/ann/data/run.txt.csv");
    EXPECT_EQ(Text(BuildLogFilePath(u"/home/ann/v1.2", u"log")), u"/home/ann/v1.2/log.csv");
    EXPECT_EQ(Text(BuildLogFilePath(u"/", u"log")), u"/log.csv");
}

} // namespace
} // namespace apptest
