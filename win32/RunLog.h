// The run's log: one UTF-8 line per event of the run, each with its local time. A log that cannot be
// written is simply off; nothing here throws or holds up the caller for long.
#pragma once
#include <string>

// Starts the log at `path`, or when `path` is empty in `folder` as "<program>-<yyyymmdd-hhmmss>.log"
// (made new, never an existing file or link of that name). Lines logged before are kept and written.
void OpenRunLog(const std::wstring& path, const std::wstring& folder);

// A text that must never appear in the log (the machine id): every later line shows "[hidden]" for it.
void HideInRunLog(const std::string& secret);

void LogLine(const std::string& utf8);
void LogLine(const std::wstring& text);

// Where the log is written; "" while it is off.
std::wstring RunLogPath();

// The log stops growing at this size, with a last line that says so.
constexpr unsigned long kMaxRunLogBytes = 4ul << 20;
