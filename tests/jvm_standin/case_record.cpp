#include "case_record.h"

#include "host.h"
#include "standin_vm.h"
#include "trace_source.h"

#include <cstdlib>
#include <fstream>

extern const char* const sharedCaseRecords;  // shared_cases.records, built in

namespace {

// One line per entry, in ASCII: line breaks, backslashes and every byte beyond ASCII
// written as escapes, so that the records file holds exactly the bytes that crossed.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte >= 0x80) {
            static const char digits[] = "0123456789ABCDEF";
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 0xF];
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

void CaseRecord::begin() {
    host_.clear();
    logSeen_ = testHost().log.size();
}

void CaseRecord::takeLog() {
    const auto& log = testHost().log;
    for (; logSeen_ < log.size(); ++logSeen_) {
        const LogRecord& r = log[logSeen_];
        host_.push_back("log " + std::string(statusName(r.status)) + " " + r.category + " " +
                        escaped(r.text));
    }
}

void CaseRecord::hostCall(const std::string& call, const std::string& result) {
    takeLog();
    host_.push_back("host " + escaped(call) + " -> " + result);
}

void CaseRecord::hostCall(const std::string& call, fmi2Status status) {
    hostCall(call, statusName(status));
}

std::vector<std::string> CaseRecord::finish() {
    takeLog();
    std::vector<std::string> lines = host_;
    for (const std::string& call : standinFacadeCalls()) lines.push_back("call " + escaped(call));
    for (const std::string& trace : capturedTrace()) lines.push_back("trace " + escaped(trace));
    lines.push_back("end server instances " + std::to_string(jvmStandinLiveServerInstances()));
    lines.push_back("end global references " + std::to_string(jvmStandinLiveGlobalRefs()));
    return lines;
}

std::vector<std::string> comparable(const std::vector<std::string>& lines) {
    if (traceReadable()) return lines;
    std::vector<std::string> kept;
    for (const std::string& line : lines)
        if (line.compare(0, 6, "trace ") != 0) kept.push_back(line);
    return kept;
}

bool expectedRecord(const std::string& name, std::vector<std::string>& lines) {
    lines.clear();
    bool inCase = false;
    for (const std::string& line : standinLines(sharedCaseRecords)) {
        if (line.compare(0, 3, "## ") == 0) {
            if (inCase) return true;
            inCase = line.substr(3) == name;
        } else if (inCase && !line.empty()) {
            lines.push_back(line);
        }
    }
    return inCase;
}

void writeActualRecord(const std::string& name, const std::vector<std::string>& lines) {
    const char* path = std::getenv("KVFMU_STANDIN_RECORDS_OUT");
    if (!path || !*path) return;
    std::ofstream out(path, std::ios::app | std::ios::binary);
    out << "## " << name << "\n";
    for (const std::string& line : lines) out << line << "\n";
    out << "\n";
}
