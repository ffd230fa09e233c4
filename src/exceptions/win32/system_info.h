#pragma once

// What a report tells about the program and the computer it runs on: the
// application, computer and operating-system fields of the log item, and the
// local time with its real zone offset.

#include <windows.h>

#include <string>

#include "exceptions/log_item.h"

namespace exceptions {

// `time` (UTC) as local time, with the zone's bias at that moment
// (daylight saving and minutes included).
TLogTime LocalLogTime(const SYSTEMTIME& utc);
// Now.
TLogTime NowLogTime();

// Fills the application fields (1.2 to 1.4: the main executable's
// description or file name, its version, the command line's arguments with
// their secrets hidden), the computer fields (4.1 to 4.6, the disk the
// executable lies on) and the operating-system fields (5.1 to 5.4) of
// `fields`. What the system does not tell stays empty.
void CollectSystemFields(TReportFields& fields);

// The system's name for a version, as the log names the versions it knows;
// empty for any other.
std::string SystemName(DWORD major, DWORD minor, bool nt, const std::string& service);

}  // namespace exceptions
