// The record of one shared case: what the host saw (its calls' results and the logger's
// messages, in order), the facade calls with their arguments, the trace lines and the state
// left at the end. Both builds compare theirs with the one expected record of the case in
// shared_cases.records, so any difference between the builds fails.
#pragma once

#include "fmi2_functions.h"
#include "host_text.h"

#include <string>
#include <vector>

class CaseRecord {
public:
    // Starts a record; the host's log is read from its current end.
    void begin();
    // The result of a host call, after the messages it logged.
    void hostCall(const std::string& call, const std::string& result);
    void hostCall(const std::string& call, fmi2Status status);
    // The whole record: host part, facade calls, trace lines (if the build has them) and
    // the state at the end.
    std::vector<std::string> finish();

private:
    void takeLog();
    std::vector<std::string> host_;
    size_t logSeen_ = 0;
};

// The expected record of the case; absent when the records file has no such case.
bool expectedRecord(const std::string& name, std::vector<std::string>& lines);
// With KVFMU_STANDIN_RECORDS_OUT set to a file, the actual record is appended to it in the
// records file's format, so that expected records can be renewed after a deliberate change.
void writeActualRecord(const std::string& name, const std::vector<std::string>& lines);
// Trace lines are left out where the build has none to read.
std::vector<std::string> comparable(const std::vector<std::string>& lines);
