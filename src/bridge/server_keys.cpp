#include "server_keys.h"

#include "text_encoding.h"

#include <mutex>
#include <set>

namespace {

std::mutex keysLock;
std::set<std::string> keysTaken;  // guarded by keysLock

}  // namespace

std::string reserveServerKey(const char* instanceName) {
    // Keys compare as the server sees them: two names that differ only in ill-formed bytes
    // arrive as the same Java string.
    const std::string name = wellFormedUtf8(instanceName);
    const std::lock_guard<std::mutex> lock(keysLock);
    std::string key = name;
    for (unsigned long suffix = 2; keysTaken.count(key) > 0; ++suffix)
        key = name + "#" + std::to_string(suffix);
    keysTaken.insert(key);
    return key;
}

void releaseServerKey(const std::string& key) {
    const std::lock_guard<std::mutex> lock(keysLock);
    keysTaken.erase(key);
}
