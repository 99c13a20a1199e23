// The live-data file: a CSV text in UTF-8 with lines ending CR LF, one header line written when
// reading starts and one line per poll round appended while the file exists. Fields are separated by
// commas; a field that holds a comma, a quote or a line break is quoted, its quotes doubled.
//
//   Timestamp(UTC),Elapsed(sec),Temperature (C),Dissolved Oxygen (concentration) (mg/L)
//   2024-05-01 13:45:10,0.0,21.5,8.25
//
// The first column is named after the time base: "Timestamp(UTC)", or "Timestamp(<zone>)" with the
// local zone's current name. A time stamp is written "yyyy-MM-dd HH:mm:ss" (an empty field when the
// round has none), the elapsed seconds with one decimal, each value as "%g"; a row whose sensor was
// missing in that round leaves its field empty.
//
// The file is never held open between rounds, and a file that was deleted while reading is not
// made again: its lines are skipped.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/livedata/LivePollWorker.h"
#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/SystemTime.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr const char* CSV_LINE_END = "\r\n";

// The text as one CSV field.
std::string CsvField(std::string_view text);
// The local zone's name as the system gives it now: its daylight-saving name while that is in
// force, otherwise its standard name.
CWideString GetLocalTimeZoneName();

// The header line with its line end. zoneName names the local time base (unused with utc).
std::string BuildCsvHeader(const CDynArray<sParameterReading>& pollList, BOOL utc,
                           const CWideString& zoneName);
// "yyyy-MM-dd HH:mm:ss"; empty without a time stamp.
std::string FormatCsvTimestamp(const std::optional<SYSTEMTIME>& timestamp);
// The round's line with its line end.
std::string BuildCsvLine(const sLiveRound& round);

// Creates the file (or empties it) and writes the header; FALSE when it cannot.
BOOL CreateCsvFile(const CWideString& path, const std::string& header);

enum class CsvAppend
{
    Written,
    FileGone, // the file no longer exists: nothing written, nothing created
    Failed,   // the file exists but the line could not be written whole (disk full, no access);
              // what was written of it is cut off again, so the file ends with a whole line
};
CsvAppend AppendCsvLine(const CWideString& path, const std::string& line);

// The path of the file that the data-log popup builds: the folder without trailing slashes and
// blanks, one '/', the trimmed name, ".csv" appended unless the name's extension is csv in any case.
CWideString BuildLogFilePath(const CWideString& folder, const CWideString& name);
